// The worn disk itself: what each read gets (an error, a delay) and the counters.
#pragma once

#include "Options.h"

#include <cstdint>
#include <map>
#include <string>

namespace faultdisk {

struct SReadPlan
{
    uint64_t Bytes = 0;  // what to serve: the request, cut at the end of the disk
    int Error = 0;       // 0 or the errno the read fails with
    int64_t DelayNs = 0; // how long the read takes
    bool EndNow = false; // the daemon ends after this reply: the disk vanished
};

class CDiskModel
{
public:
    explicit CDiskModel(const SOptions& options);

    // Decides one read request and counts it.
    SReadPlan PlanRead(uint64_t offset, uint64_t size);
    void CountWriteAttempt() { ++m_nWriteAttempts; }

    bool Vanished() const { return m_bVanished; }
    // The reads served before the disk vanished.
    uint64_t ReadsBeforeVanishing() const { return m_nReadsBeforeVanishing; }
    // The counters as "name value" lines.
    std::string StatsText() const;

    // The time reading [offset, offset + size) takes, in nanoseconds.
    int64_t ReadTimeNs(uint64_t offset, uint64_t size) const;

private:
    void Paint(uint64_t first, uint64_t end, double mbps);
    void Split(uint64_t sector);

    const SOptions m_options;
    std::map<uint64_t, double> m_speeds; // speed from this sector up to the next key; 0 = none
    uint64_t m_nReads = 0;
    uint64_t m_nBytesRead = 0;
    uint64_t m_nReadErrors = 0;
    uint64_t m_nWriteAttempts = 0;
    uint64_t m_nReadsBeforeVanishing = 0;
    bool m_bVanished = false;
};

} // namespace faultdisk
