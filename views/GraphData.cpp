// The graph's partition list, read from the drive object.
#include "views/GraphData.h"

#include "diskaccess/HardDrive.h"
#include "engine/RatemarkDoc.h"

void FillGraphPartitions(SGraphData& data, IHardDrive* pDrive)
{
    data.m_partitions.clear();
    data.m_bHasDrive = pDrive != nullptr;
    if (!pDrive)
        return;
    const int count = pDrive->GetPartitionCount();
    for (int i = 0; i < count; ++i)
        data.m_partitions.push_back({pDrive->GetPartitionStartCylinder(i),
                                     pDrive->GetPartitionCylinders(i),
                                     pDrive->GetPartitionColor(i)});
}

SGraphData GraphDataOf(CRatemarkDoc& doc)
{
    SGraphData data;
    data.m_nCylinders = doc.GetCylinders();
    // Counts first, then the arrays: a reader sees only entries written before their count.
    data.m_nResults = doc.GetResultCount();
    data.m_pResults = doc.GetResults();
    data.m_bSelection = doc.HasSelection();
    data.m_nSelStart = doc.GetSelStart();
    data.m_nSelEnd = doc.GetSelEnd();
    data.m_nSelResults = doc.GetSelResultCount();
    data.m_pSelResults = doc.GetSelResults();
    data.m_nGraphMax = doc.GetGraphMax();
    FillGraphPartitions(data, doc.GetDrive());
    return data;
}
