// The thirteen information rows: the statistics block's entries, their labels, their value
// formats and their names in machine-readable output. Every front end reads this one table.
#pragma once

#include "resources/StringIds.h"

#include <cstdint>
#include <string>

enum class EStatRow : int
{
    Cylinders,
    Heads,
    Sectors,
    AccessTime, // 0.1 ms
    BurstSpeed, // 0.1 MB/s
    MaxSpeed,   // kB/s
    MinSpeed,
    MinSpeedCylinder,
    AverageSpeed,
    CurrentSpeed,
    CurrentCylinder,
    CylindersTested,
    TestTime, // seconds
};

inline constexpr int kStatRowCount = 13;

struct SStatRow
{
    EStatRow m_eRow;
    uint32_t m_nLabelId;  // string-table entry of the label
    uint32_t m_nFormatId; // string-table entry of the value's printf format
    const char* m_pszKey; // the row's name in JSON
    int m_nDivisor;       // 0: the value alone; else two fields, value ÷ divisor and remainder
    bool m_bSigned;       // the value is formatted as a signed number
};

inline constexpr SStatRow kStatRows[kStatRowCount] = {
    {EStatRow::Cylinders, res::IDS_CYLINDERS, res::IDS_CYLINDERS_FORMAT, "cylinders", 0, false},
    {EStatRow::Heads, res::IDS_HEADS, res::IDS_HEADS_FORMAT, "heads", 0, false},
    {EStatRow::Sectors, res::IDS_SECTORS, res::IDS_SECTORS_FORMAT, "sectors", 0, false},
    {EStatRow::AccessTime, res::IDS_ACCESS_TIME, res::IDS_ACCESS_TIME_FORMAT, "access_time", 10,
     true},
    {EStatRow::BurstSpeed, res::IDS_BURST_SPEED, res::IDS_BURST_SPEED_FORMAT, "burst_speed", 10,
     true},
    {EStatRow::MaxSpeed, res::IDS_MAX_SPEED, res::IDS_MAX_SPEED_FORMAT, "max_speed", 0, false},
    {EStatRow::MinSpeed, res::IDS_MIN_SPEED, res::IDS_MIN_SPEED_FORMAT, "min_speed", 0, false},
    {EStatRow::MinSpeedCylinder, res::IDS_MIN_SPEED_CYLINDER, res::IDS_MIN_SPEED_CYLINDER_FORMAT,
     "min_speed_cylinder", 0, true},
    {EStatRow::AverageSpeed, res::IDS_AVERAGE_SPEED, res::IDS_AVERAGE_SPEED_FORMAT, "average_speed",
     0, false},
    {EStatRow::CurrentSpeed, res::IDS_CURRENT_SPEED, res::IDS_CURRENT_SPEED_FORMAT, "current_speed",
     0, false},
    {EStatRow::CurrentCylinder, res::IDS_CURRENT_CYLINDER, res::IDS_CURRENT_CYLINDER_FORMAT,
     "current_cylinder", 0, true},
    {EStatRow::CylindersTested, res::IDS_CYLINDERS_TESTED, res::IDS_CYLINDERS_TESTED_FORMAT,
     "cylinders_tested", 0, false},
    {EStatRow::TestTime, res::IDS_TEST_TIME, res::IDS_TEST_TIME_FORMAT, "test_time", 60, true},
};

// The row at index r (the statistics block's index); nullptr outside 0 to 12.
inline const SStatRow* FindStatRow(int r)
{
    return static_cast<unsigned>(r) < static_cast<unsigned>(kStatRowCount) ? &kStatRows[r]
                                                                           : nullptr;
}

inline constexpr int StatIndex(EStatRow row)
{
    return static_cast<int>(row);
}

// The label of row r; "" outside 0 to 12.
std::string StatRowLabel(int r);
// value as row r shows it ("3.7 ms", "12:34"); "" outside 0 to 12 and for no value
// (0xFFFFFFFF).
std::string FormatStatValue(int r, uint32_t value);
