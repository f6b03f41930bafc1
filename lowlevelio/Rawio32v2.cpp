// The low-level I/O library: each export hands its arguments to the partner's function of its
// thunk number and returns the partner's DX:AX as one 32-bit value.
#include "lowlevelio/Rawio32v2.h"
#include "lowlevelio/Thunk.h"

#include <cstring>
#include <initializer_list>

extern "C" {
SThunkData32 ThunkObj_ThunkData32 = {{'L', 'S', '0', '1'}, rawio::kThunkChecksum, nullptr};
}

namespace {

// The dynamic loader has already refused this library if the partner or its record is
// missing; what is left to check is that the two were built from the same thunk script.
bool ThunkConnect32(SThunkData32& self, const SThunkData16& partner)
{
    if (std::memcmp(partner.Signature, self.Signature, sizeof self.Signature) != 0 ||
        partner.Checksum != self.Checksum)
        return false;
    for (rawio::PThunkTarget target : partner.Targets)
        if (!target)
            return false;
    self.Partner = &partner;
    return true;
}

// Connects while the library is being loaded, before any export can be called.
const bool g_bConnected = ThunkConnect32(ThunkObj_ThunkData32, ThunkObj_ThunkData16);

uint32_t CallThunk(rawio::EThunk thunk, std::initializer_list<uint32_t> values, void* pointer)
{
    const SThunkData16* partner = ThunkObj_ThunkData32.Partner;
    if (!g_bConnected || !partner)
        return rawio::kNotConnected;
    rawio::SThunkFrame frame{};
    for (uint32_t value : values)
        frame.Values[frame.ValueCount++] = value;
    frame.Pointer = pointer;
    const rawio::SDxAx result = partner->Targets[thunk](frame);
    return static_cast<uint32_t>(result.Dx) << 16 | result.Ax;
}

} // namespace

extern "C" {

uint32_t RAWIO_WINAPI ExtendedInt13Read32(uint32_t drive, uint32_t sectorLow, uint32_t sectorHigh,
                                          uint32_t count, void* buffer)
{
    return CallThunk(rawio::kThunkExtendedRead, {drive, sectorLow, sectorHigh, count}, buffer);
}

uint32_t RAWIO_WINAPI GetDriveFn08Parameters32(uint32_t drive, SInt13Regs* regs)
{
    return CallThunk(rawio::kThunkFn08Parameters, {drive}, regs);
}

uint32_t RAWIO_WINAPI GetDriveFn48Parameters32(uint32_t drive, SDrvInf* info)
{
    return CallThunk(rawio::kThunkFn48Parameters, {drive}, info);
}

uint32_t RAWIO_WINAPI ReadPhysicalSector32(uint32_t drive, uint32_t cylinder, uint32_t head,
                                           uint32_t sector, uint32_t count, void* buffer)
{
    return CallThunk(rawio::kThunkPhysicalSectorRead, {drive, cylinder, head, sector, count},
                     buffer);
}

} // extern "C"
