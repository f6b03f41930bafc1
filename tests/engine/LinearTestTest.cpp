// The linear read test: speeds, statistics, fast samples, selection runs, messages, errors.
#include "EngineFixture.h"

#include <gtest/gtest.h>
#include <map>

using namespace testing_fx;

namespace {

// Speeds from ticks: every timed read of cylinder c takes ticks(c) on its first track.
SReadOutcome TicksOnFirstTrack(const SChsRead& r, const std::map<uint32_t, int64_t>& ticks)
{
    auto it = ticks.find(r.Cylinder);
    SReadOutcome out;
    out.Ticks = r.Head == 0 && it != ticks.end() ? it->second : 0;
    return out;
}

} // namespace

TEST_F(EngineTest, WorkedExampleTenThousandEightyKilobytesPerSecond)
{
    m_env.m_nFrequency = 3579545;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        return TicksOnFirstTrack(r, {{0, 178977}, {1, 178977}, {2, 178977}});
    });
    Bind(GEOMETRY{0, 3, 16, 63, 512});
    Run();
    const std::vector<CReadingResult> results = Results();
    ASSERT_EQ(results.size(), 3u);
    for (const CReadingResult& r : results)
    {
        EXPECT_EQ(r.m_nSpeed, 10080u);
        EXPECT_EQ(r.m_dwError, 0u);
    }
    EXPECT_EQ(m_doc->GetStatText(5), "10080 kBytes/s");
    EXPECT_EQ(m_doc->GetGraphMax(), 10080u);
    EXPECT_TRUE(m_doc->IsModified());
}

TEST_F(EngineTest, StatisticsAfterSpeedsFiveThreeThree)
{
    // 2 sectors × 512 bytes at F = 2048: speed = 2048 / ticks.
    m_env.m_nFrequency = 2048;
    m_env.m_nTickStep = 251000;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        return TicksOnFirstTrack(r, {{0, 409}, {1, 682}, {2, 682}});
    });
    Bind(GEOMETRY{0, 3, 1, 2, 512});
    Run();
    ASSERT_EQ(Results().size(), 3u);
    const uint32_t expected[CRatemarkDoc::kStatCount] = {
        3, 1, 2, CRatemarkDoc::kNoValue, CRatemarkDoc::kNoValue, 5, 3, 1, 3, 3, 2, 3, 753};
    for (int i = 0; i < CRatemarkDoc::kStatCount; ++i)
        EXPECT_EQ(m_doc->GetStat(i), expected[i]) << i;
    EXPECT_EQ(m_doc->GetStatText(12), "12:33");
}

TEST_F(EngineTest, MessagesOfAFullRunAndProgressToNinetyNine)
{
    Bind(GEOMETRY{0, 1000, 1, 1, 512});
    Run();
    EXPECT_EQ(Cylinders(Results()).back(), 999u);
    EXPECT_EQ(m_doc->GetStat(11), 1000u);

    const std::vector<uint32_t> order = m_frame.m_log.Sequence({UM_PROGRESS});
    EXPECT_EQ(order, (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
    const std::vector<SMessage> progress = m_frame.m_log.Only(UM_PROGRESS);
    ASSERT_EQ(progress.size(), 1000u);
    EXPECT_EQ(progress.front().WParam, 0u);
    EXPECT_EQ(progress[500].WParam, 50u);
    EXPECT_EQ(progress.back().WParam, 99u);
    for (const SMessage& m : progress)
        ASSERT_EQ(m.LParam, 10052);
    // Every message came in order: all progress between begin and end.
    EXPECT_EQ(m_frame.m_log.Messages.front().Msg, UM_TEST_BEGIN);
    EXPECT_EQ(m_frame.m_log.Messages[1001].Msg, UM_TEST_END);
    EXPECT_FALSE(m_frame.m_log.HandledOffThread);

    EXPECT_EQ(m_view.m_invalidations, (std::vector<BOOL>{FALSE}));
    EXPECT_EQ(m_view.m_log.Messages.size(), 1000u);
    EXPECT_EQ(m_view.m_log.Messages.front(), (SMessage{UM_REFRESH, 1, 0}));
    EXPECT_EQ(m_env.m_nSleptMs, 10000u);
}

TEST_F(EngineTest, RunsThatFailTheirEntryChecks)
{
    struct SCase
    {
        const char* what;
        int failAlloc;
        int64_t frequency;
        const char* text;
    };
    const SCase cases[] = {
        {"no track buffer", 0, 1024, "Out of memory!"},
        {"no performance counter", -1, 0, "Internal error!"},
    };
    for (const SCase& c : cases)
    {
        Bind(GEOMETRY{0, 5, 2, 4, 512});
        m_env.m_nAllocs = 0;
        m_env.m_nFailAlloc = c.failAlloc;
        m_env.m_nFrequency = c.frequency;
        Run();
        EXPECT_EQ(m_boxes.Texts().back(), c.text) << c.what;
        EXPECT_EQ(m_frame.m_log.Sequence(), (std::vector<uint32_t>{UM_TEST_END, WM_CANCELMODE}))
            << c.what;
        EXPECT_TRUE(Results().empty()) << c.what;
        EXPECT_TRUE(m_drive.Reads().empty()) << c.what;
        m_env.m_nFailAlloc = -1;
        m_env.m_nFrequency = 1024;
    }
    // A document whose binding failed has nowhere to store results.
    Bind(GEOMETRY{0, 5, 2, 4, 512});
    m_frame.m_nSelectedDrive = -1;
    EXPECT_FALSE(m_doc->OnNewDocument());
    m_frame.m_log.Messages.clear();
    m_doc->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
    EXPECT_EQ(m_boxes.Texts().back(), "Internal error!");
    EXPECT_EQ(m_frame.m_log.Sequence(), (std::vector<uint32_t>{UM_TEST_END, WM_CANCELMODE}));
}

TEST_F(EngineTest, FastTestSamples)
{
    struct SCase
    {
        uint32_t cylinders;
        size_t results;
        std::vector<uint32_t> head, tail;
    };
    const SCase cases[] = {
        {1000, 101, {0, 10, 20}, {980, 990, 999}},
        {250, 126, {0, 2, 4}, {246, 248, 249}},
        {150, 150, {0, 1, 2}, {147, 148, 149}},
    };
    size_t before = 0;
    for (const SCase& c : cases)
    {
        before = m_drive.Reads().size();
        Bind(GEOMETRY{0, c.cylinders, 16, 2, 512});
        m_doc->ExecuteCommand(ID_FAST_TEST);
        Run();
        const std::vector<uint32_t> got = Cylinders(Results());
        ASSERT_EQ(got.size(), c.results) << c.cylinders;
        EXPECT_EQ(std::vector<uint32_t>(got.begin(), got.begin() + 3), c.head);
        EXPECT_EQ(std::vector<uint32_t>(got.end() - 3, got.end()), c.tail);
    }
    // The reads of C = 150: warm-up of all 16 tracks at cylinder 0, then per cylinder the last
    // two tracks of the one before (none before cylinder 0) and 16 / 10 = 1 timed track.
    const std::vector<SChsRead> all = m_drive.Reads();
    const std::vector<SChsRead> reads(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_EQ(reads.size(), 16u + 1 + 149 * 3);
    EXPECT_EQ(reads[15], (SChsRead{0, 15, 0, 2}));
    EXPECT_EQ(reads[16], (SChsRead{0, 0, 0, 2}));
    EXPECT_EQ(reads[17], (SChsRead{0, 14, 0, 2}));
    EXPECT_EQ(reads[18], (SChsRead{0, 15, 0, 2}));
    EXPECT_EQ(reads[19], (SChsRead{1, 0, 0, 2}));
}

TEST_F(EngineTest, FastTestOnFewHeadsTimesOneTrack)
{
    // Fewer than ten heads: one track per cylinder, so no cylinder is stored at 0 kB/s.
    for (uint32_t heads : {1u, 4u})
    {
        Bind(GEOMETRY{0, 3, heads, 2, 512});
        m_doc->ExecuteCommand(ID_FAST_TEST);
        Run();
        ASSERT_EQ(Results().size(), 3u);
        for (const CReadingResult& r : Results())
            EXPECT_EQ(r.m_nSpeed, 1024u) << heads;
        const std::vector<SChsRead> reads = m_drive.Reads();
        const uint32_t h = heads >= 2 ? heads - 2 : 0;
        const std::vector<SChsRead> positioning =
            heads == 1 ? std::vector<SChsRead>{{1, 0, 0, 2}}
                       : std::vector<SChsRead>{{1, h, 0, 2}, {1, h + 1, 0, 2}};
        std::vector<SChsRead> expected = positioning;
        expected.push_back({2, 0, 0, 2});
        EXPECT_EQ(std::vector<SChsRead>(reads.end() - static_cast<std::ptrdiff_t>(expected.size()),
                                        reads.end()),
                  expected)
            << heads;
    }
}

TEST_F(EngineTest, SelectionRunLeavesTheWholeDriveCurveAlone)
{
    // Whole drive first, fast: cylinders below 500 read at 512 000 kB/s, the rest at
    // 128 000; then the document is taken as saved.
    m_env.m_nFrequency = 1024 * 1000;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        out.Ticks = r.Head == 0 ? (r.Cylinder < 500 ? 1 : 4) : 0;
        return out;
    });
    Bind(GEOMETRY{0, 10000, 10, 1, 512}, true, true);
    m_doc->ExecuteCommand(ID_FAST_TEST);
    Run();
    ASSERT_EQ(Results().size(), 101u);
    const uint32_t graphMax = m_doc->GetGraphMax();
    EXPECT_EQ(graphMax, 512000u);
    m_doc->SetModifiedFlag(FALSE);

    m_doc->SetSelection(500, 520, 10000);
    ASSERT_TRUE(m_doc->HasSelection());
    m_frame.m_log.Messages.clear();
    Run();
    EXPECT_EQ(Cylinders(SelResults()), (std::vector<uint32_t>{500, 519}));
    EXPECT_EQ(SelResults()[0].m_nSpeed, 128000u);
    EXPECT_EQ(Results().size(), 101u);
    EXPECT_FALSE(m_doc->IsModified());
    EXPECT_EQ(m_doc->GetGraphMax(), graphMax);
    EXPECT_EQ(m_doc->GetStat(3), CRatemarkDoc::kNoValue);
    EXPECT_EQ(m_doc->GetStat(4), CRatemarkDoc::kNoValue);
    EXPECT_EQ(m_doc->GetStat(11), 2u);
    const std::vector<SMessage> progress = m_frame.m_log.Only(UM_PROGRESS);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[1].WParam, 95u);
}

TEST_F(EngineTest, TimerOfZeroTicksCountsAsOne)
{
    m_drive.SetScript([](const SChsRead&, size_t) {
        return SReadOutcome{1, SReadOutcome::kAll, 0};
    });
    Bind(GEOMETRY{0, 1, 1, 1, 512});
    Run();
    ASSERT_EQ(Results().size(), 1u);
    EXPECT_EQ(Results()[0].m_nSpeed, 512u);
}

TEST_F(EngineTest, ReadErrorAnsweredYesNoCancel)
{
    struct SCase
    {
        int answer;
        size_t questions;
        size_t results;
    };
    for (const SCase c :
         {SCase{fw::kIdYes, 2, 6}, SCase{fw::kIdNo, 1, 6}, SCase{fw::kIdCancel, 1, 3}})
    {
        // Head 1 of cylinders 2 and 4 fails after delivering 1 of its 2 sectors.
        m_drive.SetScript([](const SChsRead& r, size_t) {
            SReadOutcome out;
            if (r.Head == 1 && (r.Cylinder == 2 || r.Cylinder == 4))
                out = SReadOutcome{0, 1, 1, 0x17};
            return out;
        });
        Bind(GEOMETRY{0, 6, 2, 2, 512});
        const size_t before = m_boxes.Boxes().size();
        m_boxes.SetDefaultAnswer(c.answer);
        Run();
        const std::vector<CScriptedBoxes::SBox> boxes = m_boxes.Boxes();
        ASSERT_EQ(boxes.size() - before, c.questions) << c.answer;
        const CScriptedBoxes::SBox& q = boxes[before];
        EXPECT_EQ(q.Text, "Reading error ( code=17h )\nCylinder 2, head 1.\n"
                          "'Yes'\t- show this message, if error will be occurred again,\n"
                          "'No'\t- don't show this message, if error will be occurred.\n"
                          "'Cancel'\t- abandon test.");
        EXPECT_EQ(q.Type, unsigned{fw::kMbYesNoCancel | fw::kMbIconHand});
        EXPECT_TRUE(q.OnUiThread);
        const std::vector<CReadingResult> results = Results();
        ASSERT_EQ(results.size(), c.results) << c.answer;
        // The failed cylinder is stored with what its reads delivered before the failure.
        EXPECT_EQ(results[2].m_dwError, 0x17u);
        EXPECT_EQ(results[2].m_nSpeed, results[1].m_nSpeed * 3 / 4);
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
    }
}

TEST_F(EngineTest, StopInsideACylinderDiscardsItAndReadsNothingMore)
{
    // Every read of a dying drive may take seconds: a stop is seen before the next read, not
    // only before the next cylinder. The stop comes during the first track of cylinder 3
    // (2 heads: warm-up reads 0 and 1, cylinder c at 2c + 2 and 2c + 3).
    CGate gate;
    m_drive.SetScript([&](const SChsRead&, size_t index) {
        if (index == 8)
            gate.Arrive();
        return SReadOutcome{};
    });
    Bind(GEOMETRY{0, 10, 2, 2, 512});
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
    EXPECT_TRUE(m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC));
    gate.Release();
    ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
    EXPECT_EQ(m_drive.Reads().size(), 9u) << "a read after the stop";
    // The partial cylinder 3 is not stored: the statistics are those of cylinder 2.
    EXPECT_EQ(Cylinders(Results()), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(m_doc->GetStat(10), 2u);
    EXPECT_EQ(m_doc->GetStat(11), 3u);
    EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
              (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
    EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Stopped);
}

TEST_F(EngineTest, StopInTheWarmUpOrAFastPositioningReadMeasuresNothingMore)
{
    struct SCase
    {
        const char* what;
        BOOL fast;
        size_t stopAtRead;
        std::vector<uint32_t> stored;
    };
    // 20 cylinders of 16 heads: the warm-up reads 0 to 15. The fast test (step 1) then reads
    // cylinder 0's first track (16), and for cylinder 1 the last two tracks of cylinder 0
    // (17, 18) before its own (19).
    const SCase cases[] = {
        {"warm-up", 0, 3, {}},
        {"fast positioning", 1, 18, {0}},
    };
    for (const SCase& c : cases)
    {
        Bind(GEOMETRY{0, 20, 16, 1, 512});
        SRunOptions options = m_doc->GetRunOptions();
        options.m_bFastTest = c.fast;
        ASSERT_TRUE(m_doc->SetRunOptions(options));
        const size_t before = m_drive.Reads().size();
        CGate gate;
        m_drive.SetScript([&](const SChsRead&, size_t index) {
            if (index - before == c.stopAtRead)
                gate.Arrive();
            return SReadOutcome{};
        });
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); })) << c.what;
        m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
        gate.Release();
        ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); })) << c.what;
        EXPECT_EQ(m_drive.Reads().size() - before, c.stopAtRead + 1) << c.what;
        EXPECT_EQ(Cylinders(Results()), c.stored) << c.what;
        EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Stopped) << c.what;
    }
}

TEST_F(EngineTest, HighPriorityRaisesOnlyAroundEachCylindersReads)
{
    using P = platform::ThreadPriority;
    Bind(GEOMETRY{0, 2, 1, 1, 512});
    m_doc->ExecuteCommand(ID_HIGH_PRIORITY);
    ASSERT_TRUE(m_doc->IsHighPriority());
    Run();
    EXPECT_EQ(m_env.Priorities(),
              (std::vector<P>{P::TimeCritical, P::Normal, P::TimeCritical, P::Normal}));
    m_doc->ExecuteCommand(ID_HIGH_PRIORITY);
    Run();
    EXPECT_EQ(m_env.Priorities().size(), 4u);
}
