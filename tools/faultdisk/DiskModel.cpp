// Errors, speeds and vanishing of the worn disk, decided read by read.
#include "DiskModel.h"

#include <cerrno>

namespace faultdisk {

CDiskModel::CDiskModel(const SOptions& options) : m_options(options)
{
    m_speeds[0] = options.BaseMBps;
    for (const SZone& zone : options.Zones)
        Paint(zone.Range.First, zone.Range.Last + 1, zone.MBps);
}

void CDiskModel::Split(uint64_t sector)
{
    if (sector >= m_options.Sectors())
        return;
    auto it = std::prev(m_speeds.upper_bound(sector));
    if (it->first != sector)
        m_speeds.emplace(sector, it->second);
}

void CDiskModel::Paint(uint64_t first, uint64_t end, double mbps)
{
    Split(end);
    Split(first);
    m_speeds.erase(m_speeds.upper_bound(first), m_speeds.lower_bound(end));
    m_speeds[first] = mbps;
}

int64_t CDiskModel::ReadTimeNs(uint64_t offset, uint64_t size) const
{
    const uint64_t sectorSize = m_options.SectorSize;
    const uint64_t end = offset + size;
    double seconds = 0;
    auto it = std::prev(m_speeds.upper_bound(offset / sectorSize));
    for (; it != m_speeds.end(); ++it)
    {
        const uint64_t segmentStart = it->first * sectorSize;
        if (segmentStart >= end)
            break;
        const auto next = std::next(it);
        const uint64_t segmentEnd = next == m_speeds.end() ? end : next->first * sectorSize;
        const uint64_t from = std::max(offset, segmentStart);
        const uint64_t to = std::min(end, segmentEnd);
        if (it->second > 0 && to > from)
            seconds += static_cast<double>(to - from) / (it->second * 1048576.0);
    }
    return static_cast<int64_t>(seconds * 1e9);
}

SReadPlan CDiskModel::PlanRead(uint64_t offset, uint64_t size)
{
    SReadPlan plan;
    ++m_nReads;
    const int vanishError = m_options.VanishAs == EVanish::Enodev ? ENODEV : EIO;
    if (m_bVanished)
        plan.Error = vanishError;
    else if (offset < m_options.Bytes && size > 0)
    {
        plan.Bytes = std::min(size, m_options.Bytes - offset);
        const uint64_t first = offset / m_options.SectorSize;
        const uint64_t last = (offset + plan.Bytes - 1) / m_options.SectorSize;
        if (m_options.HasVanishAt && m_options.VanishAt >= first && m_options.VanishAt <= last)
        {
            m_bVanished = true;
            m_nReadsBeforeVanishing = m_nReads - 1;
            plan.Error = vanishError;
        }
        else
        {
            for (const SSectorRange& bad : m_options.Bad)
                if (bad.Touches(first, last))
                    plan.Error = EIO;
            if (plan.Error == 0)
                plan.DelayNs = ReadTimeNs(offset, plan.Bytes);
        }
    }
    if (!m_bVanished && m_options.VanishAfter != 0 && m_nReads == m_options.VanishAfter)
    {
        m_bVanished = true;
        m_nReadsBeforeVanishing = m_nReads;
    }
    plan.EndNow = m_bVanished && m_options.VanishAs == EVanish::Exit;
    if (plan.Error != 0)
    {
        plan.Bytes = 0;
        plan.DelayNs = 0;
        ++m_nReadErrors;
    }
    else
        m_nBytesRead += plan.Bytes;
    return plan;
}

std::string CDiskModel::StatsText() const
{
    return "reads " + std::to_string(m_nReads) + "\nbytes_read " + std::to_string(m_nBytesRead) +
           "\nread_errors " + std::to_string(m_nReadErrors) + "\nwrite_attempts " +
           std::to_string(m_nWriteAttempts) + "\nvanished " + (m_bVanished ? "1" : "0") + "\n";
}

} // namespace faultdisk
