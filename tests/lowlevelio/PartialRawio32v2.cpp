// A library with the exports of the real one except the one OMITTED names.
#include "lowlevelio/Rawio32v2.h"

#define OMIT_ExtendedInt13Read32 1
#define OMIT_GetDriveFn08Parameters32 2
#define OMIT_GetDriveFn48Parameters32 3
#define OMIT_ReadPhysicalSector32 4

extern "C" {

#if OMITTED != OMIT_ExtendedInt13Read32
uint32_t ExtendedInt13Read32(uint32_t, uint32_t, uint32_t, uint32_t, void*)
{
    return 0;
}
#endif
#if OMITTED != OMIT_GetDriveFn08Parameters32
uint32_t GetDriveFn08Parameters32(uint32_t, SInt13Regs*)
{
    return 0;
}
#endif
#if OMITTED != OMIT_GetDriveFn48Parameters32
uint32_t GetDriveFn48Parameters32(uint32_t, SDrvInf*)
{
    return 0;
}
#endif
#if OMITTED != OMIT_ReadPhysicalSector32
uint32_t ReadPhysicalSector32(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, void*)
{
    return 0;
}
#endif
}
