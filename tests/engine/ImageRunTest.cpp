// Whole runs on an image file through the physical-drive back-end, on real threads and clocks.
#include "EngineFixture.h"
#include "diskaccess/NtHardDrive.h"
#include "fixtures/DiskImage.h"
#include "fixtures/TempDir.h"
#include "platform/Device.h"
#include "platform/Errors.h"
#include "shell/AppCore.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace testing_fx;

namespace {

constexpr uint32_t kCylinders = 12;
constexpr uint64_t kCylinderBytes = 255ull * 63 * 512;

class ImageRun : public ::testing::Test
{
protected:
    fw::CMessageQueue m_queue;
    CScriptedBoxes m_boxes{&m_queue};
    CMessageBoxScope m_scope{&m_boxes, &m_queue};
    CTempDir m_dir;
    CNtHardDrive m_drive;
    CTestApp m_app{&m_drive};
    CRecordingFrame m_frame{m_queue};
    CRecordingView m_view{m_queue};
    std::unique_ptr<CRatemarkDoc> m_doc;
    GEOMETRY m_geometry;

    void SetUp() override
    {
        const std::string path = m_dir.File("disk.img");
        CreateSparseFile(path, kCylinders * kCylinderBytes);
        ASSERT_EQ(m_drive.AddPathDrive(path, &m_geometry), 0u);
        ASSERT_EQ(m_geometry.Cylinders, kCylinders);
        m_app.m_drives = {m_geometry};
        m_doc = std::make_unique<CRatemarkDoc>(&m_app, m_queue);
        m_doc->SetMainFrame(&m_frame);
        m_doc->AddView(&m_view);
        ASSERT_TRUE(m_doc->OnNewDocument());
    }
    void TearDown() override
    {
        if (m_doc)
            m_doc->OnCloseDocument();
        m_doc.reset();
    }
    void Run()
    {
        m_frame.m_log.Messages.clear();
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(m_queue.PumpUntil([&] { return !m_doc->IsRunning(); }, 120000));
        m_queue.Pump();
    }
    std::vector<intptr_t> Phases() const
    {
        std::vector<intptr_t> phases;
        for (const SMessage& m : m_frame.m_log.Only(UM_PROGRESS))
            if (phases.empty() || phases.back() != m.LParam)
                phases.push_back(m.LParam);
        return phases;
    }
    void ExpectConsistentStatistics(uint32_t tested)
    {
        const uint32_t max = m_doc->GetStat(5), min = m_doc->GetStat(6), avg = m_doc->GetStat(8);
        EXPECT_GT(min, 0u);
        EXPECT_LE(min, avg);
        EXPECT_LE(avg, max);
        EXPECT_EQ(m_doc->GetStat(11), tested);
        EXPECT_LT(m_doc->GetStat(7), kCylinders);
        EXPECT_NE(m_doc->GetStatText(12), "");
    }
};

} // namespace

TEST_F(ImageRun, FullRunWithBothSubTests)
{
    ASSERT_TRUE(m_doc->IsBurstTest() && m_doc->IsRandomAccess());
    Run();
    EXPECT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Texts()[0];
    ASSERT_EQ(m_doc->GetResultCount(), static_cast<int32_t>(kCylinders));
    for (int32_t i = 0; i < m_doc->GetResultCount(); ++i)
    {
        EXPECT_EQ(m_doc->GetResult(i).m_nCylinder, i);
        EXPECT_GT(m_doc->GetResult(i).m_nSpeed, 0u);
        EXPECT_EQ(m_doc->GetResult(i).m_dwError, 0u);
    }
    ExpectConsistentStatistics(kCylinders);
    EXPECT_NE(m_doc->GetStat(3), CRatemarkDoc::kNoValue);
    EXPECT_GT(m_doc->GetStat(4), 0u);
    EXPECT_EQ(Phases(), (std::vector<intptr_t>{10050, 10051, 10052}));
    EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
              (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
    EXPECT_EQ(m_doc->GetGraphMax(), m_doc->GetStat(5));

    const std::string out = m_dir.File("run.dat");
    ASSERT_TRUE(m_doc->OnSaveDocument(out));
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string line;
    int n = 0;
    while (std::getline(text, line))
    {
        EXPECT_EQ(
            line.rfind(std::to_string(n) + " " + std::to_string(m_doc->GetResult(n).m_nSpeed), 0),
            0u);
        ++n;
    }
    EXPECT_EQ(n, static_cast<int>(kCylinders));
}

TEST_F(ImageRun, FastRunAndSelectionRun)
{
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_FAST_TEST));
    Run();
    // Fewer than 200 cylinders: every one is sampled, 25 tracks each, and no sub-test runs.
    EXPECT_EQ(m_doc->GetResultCount(), static_cast<int32_t>(kCylinders));
    EXPECT_EQ(m_doc->GetStat(3), CRatemarkDoc::kNoValue);
    EXPECT_EQ(Phases(), (std::vector<intptr_t>{10052}));
    ExpectConsistentStatistics(kCylinders);

    ASSERT_TRUE(m_doc->ExecuteCommand(ID_FULL_TEST));
    m_doc->SetSelection(3, 7, 12);
    ASSERT_TRUE(m_doc->HasSelection());
    Run();
    ASSERT_EQ(m_doc->GetSelResultCount(), 4);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(m_doc->GetSelResult(i).m_nCylinder, 3 + i);
    EXPECT_THROW(m_doc->GetSelResult(4), std::invalid_argument);
    EXPECT_EQ(m_doc->GetResultCount(), static_cast<int32_t>(kCylinders));
    EXPECT_EQ(Phases(), (std::vector<intptr_t>{10052}));
    ExpectConsistentStatistics(4);
}

TEST_F(ImageRun, DriveThatGoesAwayMidRunEndsItInsteadOfFailingEveryCylinder)
{
    // The device answers ENODEV from the 40th read of the linear test on: a disk unplugged
    // during cylinder 1 (255 reads a cylinder, after the warm-up's 255).
    // No sub-tests, so that every read counted is the linear test's.
    SRunOptions options = m_doc->GetRunOptions();
    options.m_bRandomAccess = 0;
    options.m_bBurstTest = 0;
    ASSERT_TRUE(m_doc->SetRunOptions(options));
    platform::SDeviceFaults faults{255 + 255 + 40, ENODEV, 0, false};
    platform::CDeviceFaultScope scope(faults);
    Run();
    ASSERT_EQ(m_doc->GetResultCount(), 2);
    EXPECT_EQ(m_doc->GetResult(0).m_dwError, 0u);
    EXPECT_EQ(m_doc->GetResult(1).m_dwError, platform::err::FileNotFound);
    const SRunOutcome outcome = m_doc->GetLastRun();
    EXPECT_EQ(outcome.m_eEnd, ERunEnd::Cancelled);
    EXPECT_EQ(outcome.m_nMessageId, 10056u);
    EXPECT_EQ(outcome.m_nErrorCylinder, 1u);
    EXPECT_EQ(outcome.m_nErrorHead, 40u);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "Reading error ( code=2h )\nCylinder 1, head 40.\n"
                                  "The drive does not answer any more. The test is abandoned.");
}

TEST(AppCoreAsApplication, ServesTheDocument)
{
    fw::CMessageQueue queue;
    CScriptedBoxes boxes(&queue);
    CMessageBoxScope scope(&boxes, &queue);
    CAppCore core;
    core.SetDrive(std::make_unique<CScriptedDrive>(GEOMETRY{0, 3, 1, 1, 512}));
    ASSERT_EQ(core.DiscoverDrives(), 1);
    CRecordingFrame frame(queue);
    {
        CRatemarkDoc doc(&core, queue);
        doc.SetMainFrame(&frame);
        ASSERT_TRUE(doc.OnNewDocument());
        EXPECT_EQ(doc.GetCylinders(), 3u);
        EXPECT_EQ(doc.IsBurstTest(), core.m_bIsNT);
        doc.OnFastTest();
        doc.OnCloseDocument();
    }
    EXPECT_EQ(core.GetSettings().GetProfileInt("Settings", "FastTest", 0), 1);
}
