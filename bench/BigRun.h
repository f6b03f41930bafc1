// A whole run over a 250,000-cylinder drive for the graph benchmarks, drawn at 1920 × 1080:
// speeds falling from the outer to the inner zone, some jitter, a few read errors.
#pragma once

#include "engine/ReadingResult.h"
#include "views/GraphData.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

constexpr uint32_t kCylinders = 250000;
constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

struct SRun
{
    SRun()
    {
        results.resize(kCylinders);
        uint32_t seed = 12345;
        for (uint32_t c = 0; c < kCylinders; ++c)
        {
            seed = seed * 1103515245u + 12345u;
            CReadingResult& r = results[c];
            r.m_nCylinder = static_cast<int32_t>(c);
            r.m_nSpeed = 200000 - static_cast<uint32_t>(uint64_t{c} * 110000 / kCylinders) +
                         (seed >> 16) % 8000;
            r.m_dwError = c % 40000 == 17 ? 23 : 0;
            data.m_nGraphMax = std::max(data.m_nGraphMax, r.m_nSpeed);
        }
        data.m_nCylinders = kCylinders;
        data.m_pResults = results.data();
        data.m_nResults = static_cast<int32_t>(kCylinders);
        data.m_bHasDrive = 1;
        data.m_partitions = {{0, 30000, 0x79F8B6},
                             {30000, 120000, 0xE9CDFF},
                             {150000, 60000, 0x86EBEC},
                             {210000, 40000, 0xFFD6D6}};
    }

    std::vector<CReadingResult> results;
    SGraphData data;
};

} // namespace bench
