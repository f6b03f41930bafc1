// How a run ended and what it ran, as the document reports it; the drive that goes away;
// unexpected exceptions traced; the run options as one record.
#include "EngineFixture.h"
#include "fixtures/TraceLines.h"
#include "framework/Trace.h"
#include "resources/StringIds.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace testing_fx;

namespace {

constexpr GEOMETRY kSmall{0, 10, 2, 4, 512};

} // namespace

TEST_F(EngineTest, OutcomeStatesWhatRan)
{
    struct SCase
    {
        const char* what;
        BOOL nt, fast;
        bool selection;
        BOOL randomRan, burstRan;
    };
    const SCase cases[] = {
        {"full whole drive", 1, 0, false, 1, 1},
        {"no burst test on this back-end", 0, 0, false, 1, 0},
        {"fast", 1, 1, false, 0, 0},
        {"range", 1, 0, true, 0, 0},
    };
    for (const SCase& c : cases)
    {
        m_app.m_bNT = c.nt;
        Bind(kSmall, true, true);
        EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::None) << c.what;
        SRunOptions options = m_doc->GetRunOptions();
        options.m_bFastTest = c.fast;
        ASSERT_TRUE(m_doc->SetRunOptions(options));
        if (c.selection)
            m_doc->SelectCylinders(2, 5);
        Run();
        const SRunOutcome outcome = m_doc->GetLastRun();
        EXPECT_EQ(outcome.m_eEnd, ERunEnd::Completed) << c.what;
        EXPECT_STREQ(RunEndName(outcome.m_eEnd), "completed");
        EXPECT_EQ(outcome.m_nMessageId, 0u) << c.what;
        EXPECT_EQ(outcome.m_bRandomAccessRan, c.randomRan) << c.what;
        EXPECT_EQ(outcome.m_bBurstRan, c.burstRan) << c.what;
        EXPECT_EQ(outcome.m_bFast, c.fast) << c.what;
        EXPECT_EQ(outcome.m_bSelectionRun, c.selection ? 1 : 0) << c.what;
    }
}

TEST_F(EngineTest, OutcomeOfCancelAndOfFailuresCarriesTheMessageId)
{
    // Cancel to the read-error question about cylinder 4.
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        out.Ok = r.Cylinder == 4 && r.Head == 1 ? 0 : 1;
        out.Error = 0x17;
        return out;
    });
    Bind(kSmall);
    m_boxes.Answer({fw::kIdCancel});
    Run();
    SRunOutcome outcome = m_doc->GetLastRun();
    EXPECT_EQ(outcome.m_eEnd, ERunEnd::Cancelled);
    EXPECT_EQ(outcome.m_nMessageId, res::IDS_READ_ERROR_QUESTION);
    EXPECT_EQ(outcome.m_dwError, 0x17u);
    EXPECT_EQ(outcome.m_nErrorCylinder, 4u);
    EXPECT_EQ(outcome.m_nErrorHead, 1u);
    EXPECT_EQ(m_boxes.StringIds(), (std::vector<uint32_t>{res::IDS_READ_ERROR_QUESTION}));

    // The entry checks: each box and the outcome name the same string.
    m_drive.SetScript(nullptr);
    struct SCase
    {
        const char* what;
        int failAlloc;
        int64_t frequency;
        bool failThread;
        uint32_t id;
    };
    const SCase cases[] = {
        {"no track buffer", 0, 1024, false, res::IDS_OUT_OF_MEMORY},
        {"no performance counter", -1, 0, false, res::IDS_INTERNAL_ERROR},
        {"no thread", -1, 1024, true, res::IDS_CANT_START_THREAD},
    };
    for (const SCase& c : cases)
    {
        Bind(kSmall);
        m_env.m_nAllocs = 0;
        m_env.m_nFailAlloc = c.failAlloc;
        m_env.m_nFrequency = c.frequency;
        m_env.m_bFailThread = c.failThread;
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
        outcome = m_doc->GetLastRun();
        EXPECT_EQ(outcome.m_eEnd, ERunEnd::Failed) << c.what;
        EXPECT_EQ(outcome.m_nMessageId, c.id) << c.what;
        EXPECT_EQ(m_boxes.StringIds().back(), c.id) << c.what;
        m_env.m_nFailAlloc = -1;
        m_env.m_nFrequency = 1024;
        m_env.m_bFailThread = false;
    }
}

TEST_F(EngineTest, UnexpectedExceptionIsTracedAndTheRunFails)
{
    CTraceLines trace;
    fw::CTraceSinkScope scope(&trace);
    m_drive.SetScript([](const SChsRead& r, size_t) -> SReadOutcome {
        if (r.Cylinder == 3)
            throw std::runtime_error("the drive object broke");
        return {};
    });
    Bind(kSmall);
    Run();
    const SRunOutcome outcome = m_doc->GetLastRun();
    EXPECT_EQ(outcome.m_eEnd, ERunEnd::Failed);
    EXPECT_EQ(outcome.m_nMessageId, 0u);
    EXPECT_EQ(Cylinders(Results()), (std::vector<uint32_t>{0, 1, 2}));
    // The end sequence ran all the same.
    EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
              (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0], "Test run: unexpected exception: the drive object broke");
}

TEST_F(EngineTest, DriveThatGoesAwayEndsTheRunLikeACancel)
{
    struct SCase
    {
        const char* what;
        // Whether the read goes wrong: then the drive has gone.
        std::function<bool(const SChsRead&, size_t)> gone;
        std::vector<uint32_t> stored;
        size_t reads; // in all, the failed one included
    };
    // 10 cylinders of 2 heads and 4 sectors, random access and burst on: 300 random reads
    // (0 to 299), 128 burst sizes of 36 or 2 reads, then the warm-up (2) and the cylinders.
    constexpr size_t kBurstReads = 15 * 36 + 113 * 2;
    constexpr size_t kLinear = 300 + kBurstReads;
    const SCase cases[] = {
        {"random access", [](const SChsRead&, size_t i) { return i == 41; }, {}, 42},
        {"read burst", [](const SChsRead&, size_t i) { return i == 300 + 40; }, {}, 341},
        {"warm-up", [=](const SChsRead&, size_t i) { return i == kLinear + 1; }, {}, kLinear + 2},
        {"cylinder 5",
         [](const SChsRead& r, size_t) { return r.Count == 4 && r.Cylinder == 5; },
         {0, 1, 2, 3, 4, 5},
         kLinear + 2 + 11},
    };
    for (const SCase& c : cases)
    {
        Bind(kSmall, true, true);
        const size_t before = m_drive.Reads().size();
        m_drive.SetScript([&](const SChsRead& r, size_t index) {
            SReadOutcome out;
            if (c.gone(r, index - before))
            {
                out.Ok = 0;
                out.Error = 2;
                out.Gone = 1;
            }
            return out;
        });
        const size_t boxesBefore = m_boxes.Boxes().size();
        Run();
        EXPECT_EQ(m_drive.Reads().size() - before, c.reads) << c.what;
        EXPECT_EQ(Cylinders(Results()), c.stored) << c.what;
        if (!c.stored.empty())
        {
            EXPECT_EQ(Results().back().m_dwError, 2u) << c.what;
        }
        const SRunOutcome outcome = m_doc->GetLastRun();
        EXPECT_EQ(outcome.m_eEnd, ERunEnd::Cancelled) << c.what;
        EXPECT_EQ(outcome.m_nMessageId, res::IDS_DRIVE_GONE) << c.what;
        EXPECT_EQ(outcome.m_dwError, 2u) << c.what;
        // One box, with the read error: no question, no burst test message.
        const std::vector<CScriptedBoxes::SBox> boxes = m_boxes.Boxes();
        ASSERT_EQ(boxes.size(), boxesBefore + 1) << c.what;
        EXPECT_EQ(boxes.back().StringId, res::IDS_DRIVE_GONE) << c.what;
        EXPECT_EQ(boxes.back().Type, fw::kMbOk | fw::kMbIconHand) << c.what;
        EXPECT_EQ(boxes.back().Text.rfind("Reading error ( code=2h )\nCylinder ", 0), 0u)
            << c.what << ": " << boxes.back().Text;
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}))
            << c.what;
        m_drive.SetScript(nullptr);
    }
}

TEST_F(EngineTest, RunOptionsAsOneRecord)
{
    Bind(kSmall, true, false);
    EXPECT_EQ(m_doc->GetRunOptions(), (SRunOptions{0, 0, 0, 1}));
    const SRunOptions wanted{1, 1, 1, 0};
    EXPECT_TRUE(m_doc->SetRunOptions(wanted));
    EXPECT_EQ(m_doc->GetRunOptions(), wanted);

    // Not while a run is in progress.
    CGate gate;
    m_drive.SetScript([&](const SChsRead&, size_t) {
        gate.Arrive();
        return SReadOutcome{};
    });
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
    EXPECT_FALSE(m_doc->SetRunOptions(SRunOptions{0, 0, 0, 0}));
    EXPECT_EQ(m_doc->GetRunOptions(), wanted);
    EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Running);
    gate.Release();
    ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));

    // Written back at the end under the keys they are read from, in one place.
    m_doc.reset();
    EXPECT_EQ(ReadRunOptions(m_app.m_settings, 1), wanted);
    fw::CMemorySettingsStore empty;
    EXPECT_EQ(ReadRunOptions(empty, 0), (SRunOptions{1, 0, 0, 1}));
    EXPECT_EQ(ReadRunOptions(empty, 1), (SRunOptions{1, 0, 1, 1}));
}
