// Labels and value texts of the information rows.
#include "engine/StatRows.h"

#include "framework/Format.h"
#include "resources/StringTable.h"

static_assert(
    [] {
        for (int r = 0; r < kStatRowCount; ++r)
            if (static_cast<int>(kStatRows[r].m_eRow) != r)
                return false;
        return true;
    }(),
    "the rows are in the statistics block's order");

std::string StatRowLabel(int r)
{
    const SStatRow* row = FindStatRow(r);
    return row ? res::LoadString(row->m_nLabelId) : std::string();
}

std::string FormatStatValue(int r, uint32_t value)
{
    const SStatRow* row = FindStatRow(r);
    if (!row || value == 0xFFFFFFFF)
        return std::string();
    const char* format = res::LoadString(row->m_nFormatId);
    const int32_t s = static_cast<int32_t>(value);
    if (row->m_nDivisor)
        return fw::FormatText(format, s / row->m_nDivisor, s % row->m_nDivisor);
    if (row->m_bSigned)
        return fw::FormatText(format, s);
    return fw::FormatText(format, value);
}
