// One measured cylinder of a test run.
#pragma once

#include <cstdint>

class CReadingResult
{
public:
    int32_t m_nCylinder = 0; // 0-based
    uint32_t m_nSpeed = 0;   // kB/s, 1 kB = 1024 bytes
    uint32_t m_dwError = 0;  // the drive's error code after the cylinder's reads; 0 = no error
};
