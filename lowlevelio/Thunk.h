// The connection between the library and its 16-bit partner: the two connection records and the
// frame in which one call's arguments reach the partner's function.
#pragma once

#include <cstdint>

namespace rawio {

inline constexpr char kThunkSignature[4] = {'L', 'S', '0', '1'};
inline constexpr uint32_t kThunkChecksum = 0x3D64;

// Thunk numbers, in the order of the thunk script.
enum EThunk : uint32_t
{
    kThunkExtendedRead = 0,
    kThunkFn08Parameters = 1,
    kThunkFn48Parameters = 2,
    kThunkPhysicalSectorRead = 3,
    kThunkCount = 4,
};

// One call as pushed for the partner: the 32-bit arguments in declared order, then the one
// pointer, which reaches the caller's own memory (nothing is copied).
struct SThunkFrame
{
    uint32_t Values[5];
    uint32_t ValueCount;
    void* Pointer;
};

// A partner function's 32-bit result in its two 16-bit halves.
struct SDxAx
{
    uint16_t Ax;
    uint16_t Dx;
};

using PThunkTarget = SDxAx (*)(const SThunkFrame& frame);

// The result of every export while the library is not connected: failure, status 0.
inline constexpr uint32_t kNotConnected = 0x80000000;

} // namespace rawio

extern "C" {

// The partner's record: the same signature and checksum, and its function of each thunk.
struct SThunkData16
{
    char Signature[4];
    uint32_t Checksum;
    rawio::PThunkTarget Targets[rawio::kThunkCount];
};

// The library's record, completed with the partner's record when the two connect.
struct SThunkData32
{
    char Signature[4];
    uint32_t Checksum;
    const SThunkData16* Partner;
};

extern const SThunkData16 ThunkObj_ThunkData16;
extern SThunkData32 ThunkObj_ThunkData32;
}
