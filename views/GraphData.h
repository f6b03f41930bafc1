// What the speed graph paints: a snapshot of the document's results, selection and partitions.
#pragma once

#include "engine/ReadingResult.h"
#include "platform/Types.h"

#include <cstdint>
#include <vector>

class CRatemarkDoc;
class IHardDrive;

// One partition as the graph draws it: a full-height column over its cylinders.
struct SGraphPartition
{
    uint32_t m_nStartCylinder = 0;
    uint32_t m_nCylinders = 0; // the length, not the last cylinder
    COLORREF m_clr = 0;

    friend bool operator==(const SGraphPartition&, const SGraphPartition&) = default;
};

// The arrays are not copied: they must stay valid, and their first m_nResults and
// m_nSelResults entries unchanged, while a paint reads them.
struct SGraphData
{
    uint32_t m_nCylinders = 0; // the drive geometry's cylinder count
    const CReadingResult* m_pResults = nullptr;
    int32_t m_nResults = 0;
    BOOL m_bSelection = 0;
    uint32_t m_nSelStart = 0; // first selected cylinder
    uint32_t m_nSelEnd = 0;   // cylinder after the last selected one
    const CReadingResult* m_pSelResults = nullptr;
    int32_t m_nSelResults = 0;
    uint32_t m_nGraphMax = 0; // highest speed in kB/s; 0 before any result
    // The document has a drive object; without one neither partitions nor the selection
    // shading are drawn.
    BOOL m_bHasDrive = 0;
    std::vector<SGraphPartition> m_partitions; // in the drive's list order
};

// Sets m_bHasDrive and reads the drive's partition list into m_partitions; a null drive
// leaves the list empty. Exceptions of the partition queries pass through.
void FillGraphPartitions(SGraphData& data, IHardDrive* pDrive);

// What the graph paints of doc now: its cylinder count, both result arrays with their counts,
// the selection, the graph maximum and the drive's partitions. The arrays stay the
// document's; the snapshot is valid until the document replaces them (a new drive, a
// selection change), which happens only on the UI thread.
SGraphData GraphDataOf(CRatemarkDoc& doc);
