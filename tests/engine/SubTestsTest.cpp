// The random access and read-burst sub-tests of a full whole-drive run.
#include "EngineFixture.h"

#include <gtest/gtest.h>
#include <map>

using namespace testing_fx;

namespace {

constexpr GEOMETRY kDrive{0, 1000, 16, 63, 512};

bool IsBurstRead(const SChsRead& r)
{
    return r.Cylinder == 0 && r.Head == 0 && r.Sector == 0 && r.Count % 4 == 0 && r.Count != 0 &&
           r.Count <= 512;
}

} // namespace

TEST_F(EngineTest, RandomPositionsAreTheSameInEveryRun)
{
    Bind(kDrive, true, false);
    Run();
    const std::vector<SChsRead> first = ReadsOfCount(1);
    ASSERT_EQ(first.size(), 300u);
    EXPECT_EQ(first[0], (SChsRead{1, 9, 12, 1}));
    EXPECT_EQ(first[1], (SChsRead{808, 9, 30, 1}));
    EXPECT_EQ(first[2], (SChsRead{350, 14, 51, 1}));
    for (const SChsRead& r : first)
        ASSERT_TRUE(r.Cylinder < 1000 && r.Head < 16 && r.Sector < 63);
    Run();
    const std::vector<SChsRead> both = ReadsOfCount(1);
    EXPECT_EQ(std::vector<SChsRead>(both.begin() + 300, both.end()), first);
}

TEST_F(EngineTest, RandomAccessPublishesInterimValues)
{
    m_env.m_nFrequency = 1000000;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        out.Ticks = r.Count == 1 ? 1234 : 1;
        return out;
    });
    Bind(GEOMETRY{0, 3, 16, 63, 512}, true, false);
    Run();
    std::vector<uintptr_t> percents;
    for (const SMessage& m : m_frame.m_log.Only(UM_PROGRESS))
        if (m.LParam == 10050)
            percents.push_back(m.WParam);
    ASSERT_EQ(percents.size(), 30u);
    EXPECT_EQ(percents[0], 0u);
    EXPECT_EQ(percents[1], 3u);
    EXPECT_EQ(percents[2], 6u);
    EXPECT_EQ(percents[3], 10u);
    EXPECT_EQ(percents.back(), 96u);
    // 1234 ticks at 10^6 per second: 1.2 ms, stored by every cylinder.
    EXPECT_EQ(m_doc->GetStatText(3), "1.2 ms");
    EXPECT_EQ(m_doc->GetStat(4), CRatemarkDoc::kNoValue);
    EXPECT_EQ(m_view.m_log.Messages.size(), 30u + 3);
}

TEST_F(EngineTest, RandomAccessWithEveryReadFailingLeavesZero)
{
    m_drive.SetScript([](const SChsRead& r, size_t) {
        return r.Count == 1 ? SReadOutcome{0, 0, 1, 23} : SReadOutcome{};
    });
    Bind(GEOMETRY{0, 3, 16, 63, 512}, true, false);
    m_boxes.SetDefaultAnswer(fw::kIdNo);
    Run();
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(ReadsOfCount(1).size(), 300u);
    EXPECT_EQ(m_frame.m_log.Only(UM_PROGRESS).size(), 3u);
    EXPECT_EQ(m_doc->GetStatText(3), "0.0 ms");
}

TEST_F(EngineTest, RandomCylindersCoverLargeDrives)
{
    // 2 000 000 cylinders: r1 × C passes 32 bits from the second draw on. The run is stopped
    // at the linear test's warm-up; only the random positions matter here.
    CGate gate;
    m_drive.SetScript([&](const SChsRead& r, size_t) {
        if (r.Count == 63)
            gate.Arrive();
        return SReadOutcome{};
    });
    Bind(GEOMETRY{0, 2000000, 16, 63, 512}, true, false);
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
    m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
    gate.Release();
    ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
    const std::vector<SChsRead> reads = ReadsOfCount(1);
    ASSERT_EQ(reads.size(), 300u);
    EXPECT_EQ(reads[0].Cylinder, 2502u);    // 41 × C / 32 767
    EXPECT_EQ(reads[1].Cylinder, 1617481u); // 26 500 × C / 32 767
    uint32_t highest = 0;
    for (const SChsRead& r : reads)
        highest = std::max(highest, r.Cylinder);
    EXPECT_GT(highest, 1900000u);
    EXPECT_TRUE(Results().empty());
}

TEST_F(EngineTest, ReadBurstWorkedExampleAndTransferCounts)
{
    // f = 1: the measured pass of 32 transfers of 2 048 bytes takes 7 159 ticks in all.
    m_env.m_nFrequency = 3579545;
    std::map<uint32_t, int> seen; // transfers per sector count; the worker's alone
    m_drive.SetScript([&](const SChsRead& r, size_t) {
        SReadOutcome out;
        if (IsBurstRead(r))
        {
            const int n = seen[r.Count]++;
            out.Ticks = r.Count == 4 ? (n == 4 ? 7159 : 0) : 1000000000;
        }
        return out;
    });
    Bind(GEOMETRY{0, 2, 16, 63, 512}, false, true);
    Run();
    EXPECT_EQ(m_doc->GetStat(4), 312u);
    EXPECT_EQ(m_doc->GetStatText(4), "31.2 mbps");
    std::map<uint32_t, int> transfers;
    for (const SChsRead& r : m_drive.Reads())
        if (IsBurstRead(r))
            ++transfers[r.Count];
    ASSERT_EQ(transfers.size(), 128u);
    EXPECT_EQ(transfers[4], 36);  // 2 048 bytes: 4 warm-up, 32 measured
    EXPECT_EQ(transfers[60], 36); // 30 720 bytes
    EXPECT_EQ(transfers[64], 2);  // 32 768 bytes: 1 and 1
    EXPECT_EQ(transfers[512], 2); // 262 144 bytes
    std::vector<uintptr_t> percents;
    for (const SMessage& m : m_frame.m_log.Only(UM_PROGRESS))
        if (m.LParam == 10051)
            percents.push_back(m.WParam);
    ASSERT_EQ(percents.size(), 128u);
    EXPECT_EQ(percents.front(), 0u);
    EXPECT_EQ(percents.back(), 100u);
    EXPECT_EQ(m_doc->GetStat(3), CRatemarkDoc::kNoValue);
}

TEST_F(EngineTest, ReadBurstFailuresKeepTheBestValueAndTheLinearTestRuns)
{
    struct SCase
    {
        const char* what;
        int failAlloc;
        bool failRead;
        const char* box;
        uint32_t burst;
    };
    const SCase cases[] = {
        {"read fails at 6 144 bytes", -1, true,
         "Reading error. Read burst speed test is terminated.", 40},
        {"no burst buffer", 1, false, "Out of memory!", 0},
    };
    for (const SCase& c : cases)
    {
        // At F = 2^20 with 1 024 ticks a transfer: 2 048 bytes give 20, 4 096 bytes 40; the
        // third size fails.
        m_env.m_nFrequency = 1024 * 1024;
        m_drive.SetScript([&](const SChsRead& r, size_t) {
            SReadOutcome out;
            if (IsBurstRead(r))
            {
                if (c.failRead && r.Count == 12)
                    return SReadOutcome{0, 0, 1, 23};
                out.Ticks = 1024;
            }
            return out;
        });
        Bind(GEOMETRY{0, 3, 16, 63, 512}, false, true);
        m_env.m_nAllocs = 0;
        m_env.m_nFailAlloc = c.failAlloc;
        Run();
        EXPECT_EQ(m_boxes.Texts().back(), c.box) << c.what;
        EXPECT_EQ(m_doc->GetStat(4), c.burst) << c.what;
        EXPECT_EQ(Results().size(), 3u) << c.what;
        m_env.m_nFailAlloc = -1;
    }
}

TEST_F(EngineTest, SubTestsRunOnlyInAFullWholeDriveRun)
{
    // On Windows 9x only the read-burst test is missing; a fast run and a selection run have
    // neither. Entries 3 and 4 that an earlier run left are emptied by the first cylinder.
    struct SCase
    {
        const char* what;
        BOOL nt;
        bool fast;
        bool selection;
        bool random;
    };
    for (const SCase c : {SCase{"9x", 0, false, false, true}, SCase{"fast", 1, true, false, false},
                          SCase{"selection", 1, false, true, false}})
    {
        m_app.m_bNT = c.nt;
        Bind(GEOMETRY{0, 20, 2, 4, 512}, true, true);
        Run();
        ASSERT_NE(m_doc->GetStat(3), CRatemarkDoc::kNoValue) << c.what;
        ASSERT_EQ(m_doc->GetStat(4) != CRatemarkDoc::kNoValue, c.nt != 0) << c.what;

        const size_t before = m_drive.Reads().size();
        if (c.fast)
            m_doc->ExecuteCommand(ID_FAST_TEST);
        if (c.selection)
            m_doc->SetSelection(5, 10, 20);
        Run();
        const std::vector<SChsRead> all = m_drive.Reads();
        size_t randomReads = 0, burstReads = 0;
        for (size_t i = before; i < all.size(); ++i)
        {
            randomReads += all[i].Count == 1;
            burstReads += all[i].Count != 1 && all[i].Count != 4;
        }
        EXPECT_EQ(randomReads, c.random ? 300u : 0u) << c.what;
        EXPECT_EQ(burstReads, 0u) << c.what;
        EXPECT_EQ(m_doc->GetStat(3) != CRatemarkDoc::kNoValue, c.random) << c.what;
        EXPECT_EQ(m_doc->GetStat(4), CRatemarkDoc::kNoValue) << c.what;
        EXPECT_EQ(m_doc->GetStatText(4), "") << c.what;
        m_app.m_bNT = 1;
    }
}

TEST_F(EngineTest, ReadBurstOnLargeSectorsCountsOnlyWholeSectors)
{
    // 4 096-byte sectors: 2 048 bytes are no whole sector, so that size is not read; 4 096 and
    // 6 144 bytes are both one sector, and both are rated by the 4 096 bytes read.
    m_env.m_nFrequency = 1000000;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        if (r.Cylinder == 0 && r.Head == 0 && r.Count != 100)
            out.Ticks = r.Count == 1 ? 313 : 1000000000;
        return out;
    });
    Bind(GEOMETRY{0, 2, 2, 100, 4096}, false, true);
    Run();
    for (const SChsRead& r : m_drive.Reads())
        ASSERT_NE(r.Count, 0u);
    EXPECT_EQ(ReadsOfCount(1).size(), 72u);
    // 32 transfers of 313 ticks: ⌊⌊⌊131 072 × 10^6 × 10 / 1024⌋ / 1024⌋ / 10 016⌋ = 124.
    EXPECT_EQ(m_doc->GetStat(4), 124u);
}

TEST_F(EngineTest, StopDuringEachSubTest)
{
    struct SCase
    {
        const char* what;
        bool random, burst;
        std::function<bool(const SChsRead&)> stopAt;
        size_t randomReads;
        size_t burstSizes;
    };
    const SCase cases[] = {
        {"random access", true, true, [](const SChsRead& r) { return r.Count == 1; }, 1, 0},
        {"read burst", true, true, [](const SChsRead& r) { return r.Count == 20; }, 300, 5},
    };
    for (const SCase& c : cases)
    {
        CGate gate;
        m_drive.SetScript([&](const SChsRead& r, size_t) {
            if (c.stopAt(r))
                gate.Arrive();
            return SReadOutcome{};
        });
        Bind(kDrive, c.random, c.burst);
        const size_t before = m_drive.Reads().size();
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); })) << c.what;
        m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
        gate.Release();
        ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); })) << c.what;

        const std::vector<SChsRead> all = m_drive.Reads();
        size_t randomReads = 0, warmUp = 0;
        std::map<uint32_t, int> burstSizes;
        for (size_t i = before; i < all.size(); ++i)
        {
            if (all[i].Count == 1)
                ++randomReads;
            else if (all[i].Count == 63)
                ++warmUp;
            else
                ++burstSizes[all[i].Count];
        }
        EXPECT_EQ(randomReads, c.randomReads) << c.what;
        EXPECT_EQ(burstSizes.size(), c.burstSizes) << c.what;
        // The linear test ends at its first poll, before its first warm-up read.
        EXPECT_EQ(warmUp, 0u) << c.what;
        EXPECT_TRUE(Results().empty()) << c.what;
        // A burst test cut short has no burst speed; the access time keeps its last value.
        EXPECT_EQ(m_doc->GetStat(4), CRatemarkDoc::kNoValue) << c.what;
        EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Stopped) << c.what;
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}))
            << c.what;
    }
}

TEST_F(EngineTest, RandomAccessReadErrorAnswers)
{
    using P = platform::ThreadPriority;
    // The first random read fails. Cancel stops the run: the burst test measures nothing and
    // the linear test ends after its warm-up. Yes goes on, at time-critical priority again;
    // that run is stopped at the linear test's warm-up.
    struct SCase
    {
        int answer;
        size_t randomReads;
        bool burst;
    };
    for (const SCase c : {SCase{fw::kIdCancel, 1, false}, SCase{fw::kIdYes, 300, true}})
    {
        CGate gate;
        m_drive.SetScript([&](const SChsRead& r, size_t) {
            if (r.Count == 63 && c.answer == fw::kIdYes)
                gate.Arrive();
            return r.Count == 1 && r.Cylinder == 1 && r.Head == 9 ? SReadOutcome{0, 0, 1, 23}
                                                                  : SReadOutcome{};
        });
        Bind(kDrive, true, true);
        m_doc->ExecuteCommand(ID_HIGH_PRIORITY);
        m_boxes.SetDefaultAnswer(c.answer);
        const size_t before = m_drive.Reads().size();
        const size_t priorities = m_env.Priorities().size();
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        if (c.answer == fw::kIdYes)
        {
            ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
            m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
            gate.Release();
        }
        ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));

        const std::vector<SChsRead> all = m_drive.Reads();
        size_t randomReads = 0, burstReads = 0;
        for (size_t i = before; i < all.size(); ++i)
        {
            randomReads += all[i].Count == 1;
            burstReads += IsBurstRead(all[i]);
        }
        EXPECT_EQ(randomReads, c.randomReads) << c.answer;
        EXPECT_EQ(burstReads > 0, c.burst) << c.answer;
        EXPECT_TRUE(Results().empty()) << c.answer;
        const std::vector<P> p = m_env.Priorities();
        ASSERT_GE(p.size() - priorities, 3u);
        // Raised for the test, normal while the question is shown, then raised again.
        EXPECT_EQ(p[priorities], P::TimeCritical);
        EXPECT_EQ(p[priorities + 1], P::Normal);
        EXPECT_EQ(p[priorities + 2], P::TimeCritical);
    }
}
