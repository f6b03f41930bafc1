// What the graph paints of a document, and the data list's labels: both read the document.
#include "engine/EngineFixture.h"
#include "views/DataList.h"
#include "views/GraphData.h"

#include <gtest/gtest.h>

using namespace testing_fx;

TEST_F(EngineTest, GraphDataOfADocumentAfterARunAndASelectionRun)
{
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        out.Ticks = r.Head == 0 ? 64 + r.Cylinder : 0;
        return out;
    });
    Bind(GEOMETRY{0, 40, 2, 4, 512});
    SGraphData data = GraphDataOf(*m_doc);
    EXPECT_EQ(data.m_nCylinders, 40u);
    EXPECT_EQ(data.m_nResults, 0);
    EXPECT_EQ(data.m_nGraphMax, 0u);
    EXPECT_TRUE(data.m_bHasDrive);
    EXPECT_FALSE(data.m_bSelection);

    Run();
    m_doc->SelectCylinders(10, 20);
    Run();
    data = GraphDataOf(*m_doc);
    EXPECT_EQ(data.m_pResults, m_doc->GetResults());
    EXPECT_EQ(data.m_nResults, 40);
    EXPECT_EQ(data.m_pSelResults, m_doc->GetSelResults());
    EXPECT_EQ(data.m_nSelResults, 10);
    EXPECT_TRUE(data.m_bSelection);
    EXPECT_EQ(data.m_nSelStart, 10u);
    EXPECT_EQ(data.m_nSelEnd, 20u);
    // 8 sectors × 512 bytes at F = 1024 in 64 ticks: the fastest cylinder, 0, is 64 kB/s.
    EXPECT_EQ(data.m_nGraphMax, 64u);
    EXPECT_EQ(data.m_nGraphMax, m_doc->GetGraphMax());
}

TEST(DataList, LabelsOfTheThirteenRows)
{
    const char* const labels[] = {
        "Cylinders",        "Heads",      "Sectors",       "Avr. access time",
        "Read burst speed", "Max. speed", "Min. speed",    "Min. speed cylinder",
        "Avr. speed",       "Cur. speed", "Cur. cylinder", "Cylinders tested",
        "Test time"};
    for (int r = 0; r < 13; ++r)
        EXPECT_EQ(GetStatLabel(r), labels[r]) << r;
    EXPECT_EQ(GetStatLabel(-1), "");
    EXPECT_EQ(GetStatLabel(13), "");
}
