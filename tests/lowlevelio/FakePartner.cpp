// A partner that answers every thunk with DX = 1, AX = 2 and remembers the frames it was given.
#include "lowlevelio/Thunk.h"

#ifndef FAKE_PARTNER_CHECKSUM
#define FAKE_PARTNER_CHECKSUM 0x3D64
#endif

extern "C" {

rawio::SThunkFrame FakePartnerFrames[rawio::kThunkCount];
unsigned FakePartnerCalls[rawio::kThunkCount];
}

namespace {

template <rawio::EThunk thunk>
rawio::SDxAx Answer(const rawio::SThunkFrame& frame)
{
    FakePartnerFrames[thunk] = frame;
    ++FakePartnerCalls[thunk];
    return rawio::SDxAx{2, 1};
}

} // namespace

extern "C" {
const SThunkData16 ThunkObj_ThunkData16 = {
    {'L', 'S', '0', '1'},
    FAKE_PARTNER_CHECKSUM,
    {Answer<rawio::kThunkExtendedRead>, Answer<rawio::kThunkFn08Parameters>,
     Answer<rawio::kThunkFn48Parameters>, Answer<rawio::kThunkPhysicalSectorRead>},
};
}
