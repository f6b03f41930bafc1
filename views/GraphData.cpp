// The graph's partition list, read from the drive object.
#include "views/GraphData.h"

#include "diskaccess/HardDrive.h"

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
