// The session document: options, binding a drive, command states, selection, statistics texts.
#include "EngineFixture.h"

#include <gtest/gtest.h>

using namespace testing_fx;

namespace {

constexpr GEOMETRY kDrive{0, 1000, 16, 63, 512};

struct SState
{
    BOOL enabled;
    int mark; // check or radio; -1 when the handler sets none
};

SState StateOf(CRatemarkDoc& doc, uint32_t id)
{
    fw::CCmdUI ui(id);
    EXPECT_TRUE(doc.OnUpdateCommand(ui)) << id;
    int mark = -1;
    if (ui.m_bCheckChanged)
        mark = ui.m_nCheck;
    else if (ui.m_bRadioChanged)
        mark = ui.m_bRadio;
    return {ui.m_bEnabled, mark};
}

} // namespace

TEST_F(EngineTest, OptionsDefaultByPlatformAndAreWrittenBack)
{
    for (BOOL nt : {1, 0})
    {
        CTestApp app(&m_drive);
        app.m_bNT = nt;
        {
            CRatemarkDoc doc(&app, m_queue, &m_env);
            EXPECT_EQ(doc.IsHighPriority(), 1);
            EXPECT_EQ(doc.IsFastTest(), 0);
            EXPECT_EQ(doc.IsBurstTest(), nt);
            EXPECT_EQ(doc.IsRandomAccess(), 1);
            doc.OnFastTest();
            doc.OnHighPriority();
            doc.OnRandomAccess();
        }
        fw::ISettingsStore& s = app.GetSettings();
        EXPECT_EQ(s.GetProfileInt("Settings", "HighPriority", -1), 0);
        EXPECT_EQ(s.GetProfileInt("Settings", "FastTest", -1), 1);
        EXPECT_EQ(s.GetProfileInt("Settings", "BurstTest", -1), nt);
        EXPECT_EQ(s.GetProfileInt("Settings", "RandomAccess", -1), 0);
        CRatemarkDoc again(&app, m_queue, &m_env);
        EXPECT_EQ(again.IsFastTest(), 1);
        EXPECT_EQ(again.IsHighPriority(), 0);
    }
}

TEST_F(EngineTest, NewDocumentBindsTheSelectedDrive)
{
    m_frame.m_nSelectedDrive = 1;
    m_app.m_drives = {GEOMETRY{0, 5, 1, 1, 512}, kDrive};
    m_doc = std::make_unique<CRatemarkDoc>(&m_app, m_queue, &m_env);
    m_doc->SetMainFrame(&m_frame);
    m_doc->AddView(&m_view);
    m_view.m_invalidations.clear();
    ASSERT_TRUE(m_doc->OnNewDocument());

    EXPECT_EQ(m_doc->GetTitle(), "HardDrive1");
    EXPECT_EQ(m_doc->GetGeometry(), kDrive);
    EXPECT_EQ(m_drive.Opens(), 1);
    EXPECT_EQ(m_drive.Analyses(), 1);
    EXPECT_EQ(m_frame.m_log.Messages,
              (std::vector<SMessage>{{UM_SELECTION, 0, 0}, {UM_DRIVE_ACCEPTED, 0, 1}}));
    EXPECT_EQ(m_view.m_invalidations, (std::vector<BOOL>{TRUE}));
    EXPECT_EQ(m_doc->GetResultCount(), 0);
    ASSERT_NE(m_doc->GetResults(), nullptr);
    const std::vector<std::string> expected{"1000", "16", "63", "", "", "", "",
                                            "",     "",   "",   "", "", ""};
    for (int row = 0; row < CRatemarkDoc::kStatCount; ++row)
        EXPECT_EQ(m_doc->GetStatText(row), expected[static_cast<size_t>(row)]) << row;
    EXPECT_FALSE(m_doc->IsModified());
    EXPECT_FALSE(m_doc->OnOpenDocument("/dev/null"));
}

TEST_F(EngineTest, FailedBindingLeavesStartDisabledUntilADriveIsBound)
{
    struct SCase
    {
        const char* what;
        int index;
        BOOL opens;
        uint32_t cylinders;
        const char* title; // "" when the title is not set
        size_t boxes;
    };
    const SCase cases[] = {
        {"no selection", -1, 1, 1000, "", 0},
        {"index outside the list", 3, 1, 1000, "HardDrive3", 0},
        {"drive does not open", 0, 0, 1000, "HardDrive0", 1},
        {"zero cylinders", 0, 1, 0, "HardDrive0", 0},
    };
    for (const SCase& c : cases)
    {
        Bind(kDrive);
        m_doc->SetTitle("");
        const size_t boxes = m_boxes.Boxes().size();
        m_frame.m_nSelectedDrive = c.index;
        m_drive.SetOpenResult(c.opens);
        m_app.m_drives = {GEOMETRY{0, c.cylinders, 16, 63, 512}};
        EXPECT_FALSE(m_doc->OnNewDocument()) << c.what;
        EXPECT_EQ(m_doc->GetTitle(), c.title) << c.what;
        EXPECT_EQ(m_doc->GetResults(), nullptr) << c.what;
        EXPECT_EQ(m_doc->GetResultCount(), 0) << c.what;
        ASSERT_EQ(m_boxes.Boxes().size() - boxes, c.boxes) << c.what;
        if (c.boxes)
        {
            EXPECT_EQ(m_boxes.Boxes().back().Text, "Can't open drive");
        }
        EXPECT_TRUE(m_frame.m_log.Only(UM_DRIVE_ACCEPTED).empty()) << c.what;
        EXPECT_FALSE(StateOf(*m_doc, ID_START_DIAGNOSTIC).enabled) << c.what;
        EXPECT_FALSE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC)) << c.what;

        m_frame.m_nSelectedDrive = 0;
        m_drive.SetOpenResult(1);
        m_app.m_drives = {kDrive};
        ASSERT_TRUE(m_doc->OnNewDocument()) << c.what;
        EXPECT_TRUE(StateOf(*m_doc, ID_START_DIAGNOSTIC).enabled) << c.what;
    }
    CRatemarkDoc orphan(&m_app, m_queue, &m_env);
    EXPECT_FALSE(orphan.OnNewDocument()); // no main frame
    CRatemarkDoc appless(nullptr, m_queue, &m_env);
    appless.SetMainFrame(&m_frame);
    EXPECT_FALSE(appless.OnNewDocument());
}

TEST_F(EngineTest, CommandStatesIdleFastSelectionAndNinetyX)
{
    struct SCase
    {
        const char* what;
        BOOL nt;
        bool fast;
        bool selection;
        SState fastTest, fullTest, burst, random;
    };
    const SCase cases[] = {
        {"idle", 1, false, false, {1, 0}, {1, 1}, {1, 1}, {1, 1}},
        {"fast", 1, true, false, {1, 1}, {1, 0}, {0, 0}, {0, 0}},
        {"selection", 1, false, true, {1, 0}, {1, 1}, {0, 0}, {0, 0}},
        {"9x", 0, false, false, {1, 0}, {1, 1}, {0, 0}, {1, 1}},
    };
    for (const SCase& c : cases)
    {
        m_app.m_bNT = c.nt;
        Bind(kDrive, true, true);
        if (c.fast)
        {
            EXPECT_TRUE(m_doc->ExecuteCommand(ID_FAST_TEST));
        }
        if (c.selection)
            m_doc->SetSelection(10, 20, 100);
        auto expect = [&](uint32_t id, SState want) {
            const SState got = StateOf(*m_doc, id);
            EXPECT_EQ(got.enabled, want.enabled) << c.what << " " << id;
            EXPECT_EQ(got.mark, want.mark) << c.what << " " << id;
        };
        expect(ID_START_DIAGNOSTIC, {1, -1});
        expect(ID_STOP_DIAGNOSTIC, {0, -1});
        expect(ID_HIGH_PRIORITY, {1, 0});
        expect(ID_FAST_TEST, c.fastTest);
        expect(ID_FULL_TEST, c.fullTest);
        expect(ID_BURST_TEST, c.burst);
        expect(ID_RANDOM_ACCESS, c.random);
        expect(fw::ID_FILE_SAVE, {0, -1});
        // The stored value of an option that does not apply stays.
        EXPECT_EQ(m_doc->IsBurstTest(), 1) << c.what;
        EXPECT_EQ(m_doc->IsRandomAccess(), 1) << c.what;
    }
    // Back to the full test: the stored states show again.
    m_app.m_bNT = 1;
    Bind(kDrive, true, false);
    m_doc->ExecuteCommand(ID_FAST_TEST);
    m_doc->ExecuteCommand(ID_FULL_TEST);
    EXPECT_EQ(StateOf(*m_doc, ID_RANDOM_ACCESS).mark, 1);
    EXPECT_EQ(StateOf(*m_doc, ID_BURST_TEST).mark, 0);
}

TEST_F(EngineTest, CommandStatesWhileRunning)
{
    CGate gate;
    m_drive.SetScript([&](const SChsRead& r, size_t) {
        if (r.Cylinder == 3)
            gate.Arrive();
        return SReadOutcome{};
    });
    Bind(GEOMETRY{0, 10, 2, 4, 512});
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));

    EXPECT_FALSE(StateOf(*m_doc, ID_START_DIAGNOSTIC).enabled);
    EXPECT_TRUE(StateOf(*m_doc, ID_STOP_DIAGNOSTIC).enabled);
    for (uint32_t id : {ID_FAST_TEST, ID_FULL_TEST, ID_BURST_TEST, ID_RANDOM_ACCESS,
                        fw::ID_FILE_SAVE, fw::ID_FILE_SAVE_AS})
        EXPECT_FALSE(StateOf(*m_doc, id).enabled) << id;
    // The priority option stays available and toggles during the run.
    EXPECT_TRUE(m_doc->ExecuteCommand(ID_HIGH_PRIORITY));
    EXPECT_EQ(StateOf(*m_doc, ID_HIGH_PRIORITY).mark, 1);
    EXPECT_FALSE(m_doc->ExecuteCommand(ID_FAST_TEST));
    EXPECT_FALSE(m_doc->IsFastTest());
    EXPECT_FALSE(m_frame.m_selectorStates.empty());
    EXPECT_EQ(m_frame.m_selectorStates.back(), FALSE);

    // A start that bypasses the command state makes no second worker.
    m_doc->OnStart();
    gate.Release();
    ASSERT_TRUE(PumpUntil([&] { return !m_frame.m_log.Only(WM_CANCELMODE).empty(); }));
    // The worker has ended, but only the next command-state update reaps it.
    EXPECT_FALSE(m_doc->IsIdle());
    ASSERT_TRUE(PumpUntil([&] { return StateOf(*m_doc, ID_START_DIAGNOSTIC).enabled; }));
    EXPECT_TRUE(m_doc->IsIdle());
    EXPECT_EQ(m_frame.m_selectorStates.back(), TRUE);
    EXPECT_TRUE(StateOf(*m_doc, fw::ID_FILE_SAVE).enabled);
    m_queue.Pump();
    EXPECT_EQ(m_frame.m_log.Only(UM_TEST_BEGIN).size(), 1u);
}

TEST_F(EngineTest, StartCreatesALowestPrioritySuspendedWorkerOrReportsFailure)
{
    Bind(GEOMETRY{0, 2, 1, 1, 512});
    Run();
    EXPECT_EQ(m_env.m_startPriority, platform::ThreadPriority::Lowest);
    EXPECT_TRUE(m_env.m_bStartedSuspended);

    m_env.m_bFailThread = true;
    EXPECT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    EXPECT_EQ(m_boxes.Texts().back(), "Internal error: can't start thread.");
    EXPECT_TRUE(m_doc->IsIdle());
    EXPECT_TRUE(StateOf(*m_doc, ID_START_DIAGNOSTIC).enabled);
}

TEST_F(EngineTest, SelectionFromPixelOffsets)
{
    struct SCase
    {
        uint32_t cylinders;
        int a, b, w;
        uint32_t start, end;
        BOOL selection;
    };
    const SCase cases[] = {
        {1000, 100, 300, 500, 200, 600, 1},
        {1000, 300, 100, 500, 200, 600, 1},
        {1000, 100, 100, 500, 200, 200, 0},
        // 20 TB: C × offset passes 32 bits.
        {2432000, 1990, 2000, 2000, 2419840, 2432000, 1},
        // Offsets outside the plot area lie on its edges; no width selects nothing.
        {1000, -50, 600, 500, 0, 1000, 1},
        {1000, 10, 20, 0, 0, 0, 0},
    };
    for (const SCase& c : cases)
    {
        Bind(GEOMETRY{0, c.cylinders, 16, 63, 512});
        m_doc->ClearSelection();
        m_frame.m_log.Messages.clear();
        m_view.m_updates.clear();
        m_doc->SetSelection(c.a, c.b, c.w);
        EXPECT_EQ(m_doc->GetSelStart(), c.start) << c.a << " " << c.b;
        EXPECT_EQ(m_doc->GetSelEnd(), c.end) << c.a << " " << c.b;
        EXPECT_EQ(m_doc->HasSelection(), c.selection) << c.a << " " << c.b;
        EXPECT_EQ(m_doc->GetSelResults() != nullptr, c.selection != 0);
        EXPECT_EQ(m_doc->GetSelResultCount(), 0);
        EXPECT_EQ(m_view.m_updates.size(), 1u);
        EXPECT_EQ(m_frame.m_log.Messages,
                  (std::vector<SMessage>{{UM_SELECTION, static_cast<uintptr_t>(c.selection),
                                          reinterpret_cast<intptr_t>(m_doc.get())}}));
    }
    m_frame.m_log.Messages.clear();
    m_doc->ClearSelection();
    EXPECT_FALSE(m_doc->HasSelection());
    EXPECT_EQ(m_doc->GetSelStart(), 0u);
    EXPECT_EQ(m_doc->GetSelResults(), nullptr);
    EXPECT_EQ(m_frame.m_log.Messages, (std::vector<SMessage>{{UM_SELECTION, 0, 0}}));
}

TEST_F(EngineTest, StatisticsTexts)
{
    struct SCase
    {
        int row;
        uint32_t value;
        const char* text;
    };
    const SCase cases[] = {
        {3, 37, "3.7 ms"},
        {4, 1234, "123.4 mbps"},
        {3, 0, "0.0 ms"},
        {5, 10080, "10080 kBytes/s"},
        {7, 12, "12"},
        {12, 754, "12:34"},
        {12, 65, "1:05"},
        {12, 0, "0:00"},
        {9, CRatemarkDoc::kNoValue, ""},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CRatemarkDoc::FormatStatText(c.row, c.value), c.text) << c.row << " " << c.value;
    EXPECT_EQ(CRatemarkDoc::FormatStatText(13, 5), "");
    Bind(kDrive);
    EXPECT_EQ(m_doc->GetStatText(-1), "");
    EXPECT_EQ(m_doc->GetStatText(13), "");
    EXPECT_THROW(m_doc->GetStat(13), std::invalid_argument);
    EXPECT_EQ(m_doc->GetStat(0), 1000u);
}
