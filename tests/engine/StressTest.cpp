// Many runs, each interrupted at a random moment of a chosen phase by a stop, a close, a
// destruction, a new document or a selection change, with real threads. Every run must end
// within a bound, every message must reach its window on the UI thread, nothing may be read
// from a closed drive, and what a run leaves behind must agree with itself. Meant for
// ThreadSanitizer as much as for the plain build.
//
// RATEMARK_STRESS_RUNS and RATEMARK_STRESS_SEED change the number of runs and the seed.
#include "EngineFixture.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

using namespace testing_fx;

namespace {

// Where in a run the interruption comes.
enum class EPhase
{
    Setup,           // right after the start, before the UI has served anything
    RandomAccess,    // during the random access test
    Burst,           // during the read-burst test
    Linear,          // during the linear test
    QuestionPending, // a read-error question sent and not yet served
    QuestionShown,   // a stop asked for while the question is shown
    End,             // after the end message has arrived
    Count
};

const char* PhaseName(EPhase phase)
{
    static const char* const kNames[] = {"setup",   "random access", "burst", "linear",
                                         "pending", "shown",         "end"};
    return kNames[static_cast<int>(phase)];
}

enum class EAction
{
    None, // the run goes to its end
    Stop,
    Close,
    Destroy,
    NewDocument,
    Select,
    ClearSelection,
    Count
};

const char* ActionName(EAction action)
{
    static const char* const kNames[] = {"none", "stop",   "close", "destroy",
                                         "new",  "select", "clear"};
    return kNames[static_cast<int>(action)];
}

int EnvInt(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

// Aborts the process when one run outlasts its bound: a hang must fail, not stall the suite.
class CWatchdog
{
public:
    CWatchdog() : m_thread([this] { Watch(); }) {}
    ~CWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bQuit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    void Arm(std::string what, std::chrono::seconds bound)
    {
        std::lock_guard lock(m_mutex);
        m_what = std::move(what);
        m_deadline = std::chrono::steady_clock::now() + bound;
        m_bArmed = true;
    }
    void Disarm()
    {
        std::lock_guard lock(m_mutex);
        m_bArmed = false;
    }

private:
    void Watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_bQuit)
        {
            m_cv.wait_for(lock, std::chrono::milliseconds(100));
            if (m_bArmed && std::chrono::steady_clock::now() > m_deadline)
            {
                std::fprintf(stderr, "stress run did not end in time: %s\n", m_what.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bQuit = false;
    bool m_bArmed = false;
    std::string m_what;
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_thread;
};

// Message boxes: every one recorded with its thread; a question answered by a hook.
class CStressBoxes : public fw::IMessageBoxService
{
public:
    explicit CStressBoxes(const fw::CMessageQueue& ui) : m_ui(ui) {}

    int Show(const std::string&, unsigned type) override
    {
        const bool question = (type & fw::kMbButtonMask) == fw::kMbYesNoCancel;
        std::function<int()> hook;
        {
            std::lock_guard lock(m_mutex);
            ++m_nShown;
            if (question)
                ++m_nQuestions;
            if (!m_ui.IsOwnerThread())
                m_bOffThread = true;
            hook = m_onQuestion;
        }
        if (!question)
            return fw::kIdOk;
        return hook ? hook() : fw::kIdYes;
    }
    void SetQuestionHook(std::function<int()> hook)
    {
        std::lock_guard lock(m_mutex);
        m_onQuestion = std::move(hook);
    }
    int Questions() const
    {
        std::lock_guard lock(m_mutex);
        return m_nQuestions;
    }
    bool OffThread() const
    {
        std::lock_guard lock(m_mutex);
        return m_bOffThread;
    }

private:
    const fw::CMessageQueue& m_ui;
    mutable std::mutex m_mutex;
    std::function<int()> m_onQuestion;
    int m_nShown = 0;
    int m_nQuestions = 0;
    bool m_bOffThread = false;
};

// One run's plan, drawn from the seed.
struct SPlan
{
    EPhase Phase = EPhase::Setup;
    EAction Action = EAction::None;
    GEOMETRY Geometry;
    bool Random = false, Burst = false, Fast = false, Selection = false;
    uint32_t SelFrom = 0, SelTo = 0;
    // The trigger: the n-th read of the phase's kind.
    size_t TriggerRead = 0;
    // Hold the worker inside the trigger read until a releaser lets it go after this many
    // microseconds; negative: do not hold.
    int HoldUs = -1;
    // Microseconds the UI waits, serving nothing, between the trigger and the action.
    int LagUs = 0;
    // A question's cylinder (linear) or random read number (random access).
    bool QuestionInRandomAccess = false;
    uint32_t QuestionCylinder = 0;
    size_t QuestionRandomRead = 0;
    // Chance in a thousand that any other read fails, and how its question is answered.
    int FailPerMille = 0;
    int Answer = fw::kIdYes;
    int ShownAnswer = fw::kIdYes;

    std::string Describe(int run, uint32_t seed) const
    {
        char text[256];
        std::snprintf(text, sizeof text,
                      "run %d (seed %u): %s/%s, %u x %u x %u, random %d burst %d fast %d "
                      "selection %d [%u, %u), trigger %zu hold %d lag %d",
                      run, seed, PhaseName(Phase), ActionName(Action), Geometry.Cylinders,
                      Geometry.TracksPerCylinder, Geometry.SectorsPerTrack, Random, Burst, Fast,
                      Selection, SelFrom, SelTo, TriggerRead, HoldUs, LagUs);
        return text;
    }
};

// The worker's side of one run: counts reads by kind, fails what the plan says, signals the
// trigger and holds the worker when asked.
struct SRunState
{
    std::mutex Mutex;
    std::vector<uint32_t> FailedLinearCylinders;
    size_t RandomReads = 0, BurstReads = 0, LinearReads = 0;
    std::atomic<bool> Triggered{false};
    std::atomic<bool> Released{false};
    std::atomic<bool> QuestionFailed{false};
    std::atomic<bool> Acknowledged{false};
    // The document whose worker reads; it outlives its worker.
    const CRatemarkDoc* Doc = nullptr;
    // Reads begun after the worker could see a stop.
    std::atomic<size_t> ReadsAfterStop{0};
    std::minstd_rand Noise;

    void WaitFor(const std::atomic<bool>& flag)
    {
        for (int i = 0; i < 200000 && !flag.load(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
};

class StressTest : public EngineTest
{
protected:
    std::mt19937 m_rng;

    int Draw(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Coin(int perMille) { return Draw(0, 999) < perMille; }

    SPlan MakePlan(EPhase phase)
    {
        SPlan p;
        p.Phase = phase;
        static const uint32_t kSectors[] = {3, 5, 7}; // never a burst transfer's size
        p.Geometry = GEOMETRY{0, static_cast<uint32_t>(Draw(2, 40)),
                              static_cast<uint32_t>(Draw(1, 4)), kSectors[Draw(0, 2)], 512};
        const uint32_t C = p.Geometry.Cylinders, H = p.Geometry.TracksPerCylinder;
        const bool subTest = phase == EPhase::RandomAccess || phase == EPhase::Burst;
        p.Random = phase == EPhase::RandomAccess || Coin(300);
        p.Burst = phase == EPhase::Burst || Coin(200);
        p.Fast = !subTest && Coin(300);
        p.Selection = !subTest && Coin(300);
        if (p.Selection)
        {
            p.SelFrom = static_cast<uint32_t>(Draw(0, static_cast<int>(C) - 2));
            p.SelTo =
                static_cast<uint32_t>(Draw(static_cast<int>(p.SelFrom) + 1, static_cast<int>(C)));
        }
        const uint32_t start = p.Selection ? p.SelFrom : 0, end = p.Selection ? p.SelTo : C;

        p.Action = phase == EPhase::QuestionShown
                       ? EAction::Stop
                       : static_cast<EAction>(Draw(phase == EPhase::End ? 1 : 0,
                                                   static_cast<int>(EAction::Count) - 1));
        if (phase == EPhase::Setup || phase == EPhase::QuestionPending)
            p.Action = p.Action == EAction::None ? EAction::Stop : p.Action;

        switch (phase)
        {
        case EPhase::RandomAccess:
            p.TriggerRead = static_cast<size_t>(Draw(0, 299));
            break;
        case EPhase::Burst:
            // 15 small sizes of 4 + 32 transfers, then 113 large ones of 1 + 1.
            p.TriggerRead = static_cast<size_t>(Draw(0, 15 * 36 + 113 * 2 - 1));
            break;
        case EPhase::Linear:
            p.TriggerRead = static_cast<size_t>(Draw(0, static_cast<int>((end - start + 1) * H)));
            break;
        default:
            break;
        }
        p.HoldUs = Coin(300) ? Draw(0, 3000) : -1;
        p.LagUs = Coin(500) ? Draw(0, 500) : 0;

        if (phase == EPhase::QuestionPending || phase == EPhase::QuestionShown)
        {
            p.QuestionInRandomAccess = p.Random && !p.Fast && !p.Selection && Coin(400);
            p.QuestionRandomRead = static_cast<size_t>(Draw(0, 299));
            // A cylinder the run measures: the fast test samples every step-th one.
            if (p.Fast)
            {
                const uint32_t step = std::max<uint32_t>(1, C / 100);
                const uint32_t samples = (end - start + step - 1) / step;
                p.QuestionCylinder =
                    start + step * static_cast<uint32_t>(Draw(0, static_cast<int>(samples) - 1));
            }
            else
            {
                p.QuestionCylinder =
                    static_cast<uint32_t>(Draw(static_cast<int>(start), static_cast<int>(end) - 1));
            }
            static const int kAnswers[] = {fw::kIdYes, fw::kIdNo, fw::kIdCancel};
            p.ShownAnswer = kAnswers[Draw(0, 2)];
        }
        else
        {
            p.FailPerMille = Coin(400) ? Draw(1, 40) : 0;
            static const int kAnswers[] = {fw::kIdYes, fw::kIdYes, fw::kIdNo, fw::kIdCancel};
            p.Answer = kAnswers[Draw(0, 3)];
        }
        return p;
    }

    // The drive's script for plan p.
    // Plan and state are shared with the script, so a worker that outlives a failed check
    // never reads freed memory.
    static CScriptedDrive::Script ScriptFor(std::shared_ptr<const SPlan> plan,
                                            std::shared_ptr<SRunState> state)
    {
        return [plan, state](const SChsRead& r, size_t) {
            const SPlan& p = *plan;
            SRunState& s = *state;
            if (s.Doc && s.Doc->IsStopRequested())
                ++s.ReadsAfterStop;
            const bool random = r.Count == 1;
            const bool linear = r.Count == p.Geometry.SectorsPerTrack;
            size_t nth;
            int noise;
            {
                std::lock_guard lock(s.Mutex);
                size_t& counter = random ? s.RandomReads : linear ? s.LinearReads : s.BurstReads;
                nth = counter++;
                noise = static_cast<int>(s.Noise() % 1000);
            }
            SReadOutcome out;
            out.Ticks = 1 + noise % 7;

            bool fail = noise < p.FailPerMille;
            const bool question =
                p.Phase == EPhase::QuestionPending || p.Phase == EPhase::QuestionShown;
            if (question)
                fail = p.QuestionInRandomAccess ? random && nth == p.QuestionRandomRead
                                                : linear && r.Cylinder == p.QuestionCylinder;
            if (fail)
            {
                out.Ok = 0;
                out.Sectors = static_cast<uint32_t>(noise % 2);
                out.Error = 23;
                if (linear)
                {
                    std::lock_guard lock(s.Mutex);
                    s.FailedLinearCylinders.push_back(r.Cylinder);
                }
                // The first failing read of a question phase waits until the UI has stopped
                // serving, so that the question it leads to stays pending.
                if (question && !s.QuestionFailed.exchange(true) &&
                    p.Phase == EPhase::QuestionPending)
                    s.WaitFor(s.Acknowledged);
                return out;
            }

            const bool kind = p.Phase == EPhase::RandomAccess ? random
                              : p.Phase == EPhase::Burst      ? !random && !linear
                              : p.Phase == EPhase::Linear     ? linear
                                                              : false;
            if (kind && nth == p.TriggerRead && !s.Triggered.exchange(true) && p.HoldUs >= 0)
                s.WaitFor(s.Released);
            return out;
        };
    }

    void Act(EAction action, const SPlan& p)
    {
        switch (action)
        {
        case EAction::None:
            break;
        case EAction::Stop:
            m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
            break;
        case EAction::Close:
            m_doc->OnCloseDocument();
            break;
        case EAction::Destroy:
            m_doc.reset();
            break;
        case EAction::NewDocument:
            EXPECT_TRUE(m_doc->OnNewDocument());
            break;
        case EAction::Select:
            m_doc->SelectCylinders(p.Geometry.Cylinders / 3, p.Geometry.Cylinders);
            break;
        case EAction::ClearSelection:
            m_doc->ClearSelection();
            break;
        case EAction::Count:
            break;
        }
    }

    // What a painting UI reads while the worker writes.
    void ReadLikeAView()
    {
        if (!m_doc)
            return;
        const uint32_t C = m_doc->GetCylinders();
        const CReadingResult* results = m_doc->GetResults();
        const int32_t n = m_doc->GetResultCount();
        for (int32_t i = 0; results && i < n; ++i)
            ASSERT_LT(static_cast<uint32_t>(results[i].m_nCylinder), C);
        const CReadingResult* sel = m_doc->GetSelResults();
        const int32_t m = m_doc->GetSelResultCount();
        for (int32_t i = 0; sel && i < m; ++i)
            ASSERT_LT(static_cast<uint32_t>(sel[i].m_nCylinder), C);
        for (int row = 0; row < CRatemarkDoc::kStatCount; ++row)
            m_doc->GetStatText(row);
        m_doc->GetGraphMax();
    }
};

// The stored results of a run agree with the statistics it published and with the reads
// that failed.
void CheckResults(const std::vector<CReadingResult>& results, uint32_t start, uint32_t end,
                  const std::vector<uint32_t>& failed, CRatemarkDoc& doc, const std::string& what)
{
    ASSERT_LE(results.size(), end - start) << what;
    uint32_t max = 0, min = 0xFFFFFFFF, minCylinder = 0xFFFFFFFF;
    uint64_t sum = 0;
    for (size_t i = 0; i < results.size(); ++i)
    {
        const CReadingResult& r = results[i];
        const uint32_t c = static_cast<uint32_t>(r.m_nCylinder);
        ASSERT_TRUE(c >= start && c < end) << what << ": cylinder " << c;
        if (i > 0)
        {
            ASSERT_GT(r.m_nCylinder, results[i - 1].m_nCylinder) << what;
        }
        if (r.m_dwError != 0)
        {
            EXPECT_NE(std::find(failed.begin(), failed.end(), c), failed.end())
                << what << ": error at cylinder " << c << " where no read failed";
        }
        max = std::max(max, r.m_nSpeed);
        if (r.m_nSpeed < min)
        {
            min = r.m_nSpeed;
            minCylinder = c;
        }
        sum += r.m_nSpeed;
    }
    if (results.empty())
        return;
    EXPECT_EQ(doc.GetStat(11), results.size()) << what;
    EXPECT_EQ(doc.GetStat(5), max) << what;
    EXPECT_EQ(doc.GetStat(6), min) << what;
    EXPECT_EQ(doc.GetStat(7), minCylinder) << what;
    EXPECT_EQ(doc.GetStat(8), sum / results.size()) << what;
    EXPECT_EQ(doc.GetStat(10), static_cast<uint32_t>(results.back().m_nCylinder)) << what;
}

} // namespace

TEST_F(StressTest, RunsInterruptedAtRandomMomentsEndCleanly)
{
    const int runs = EnvInt("RATEMARK_STRESS_RUNS", 2100);
    // On a slow machine (a sanitizer build under load) the runs stop after this budget.
    const auto budget = std::chrono::seconds(EnvInt("RATEMARK_STRESS_SECONDS", 120));
    const auto began = std::chrono::steady_clock::now();
    const uint32_t seed = static_cast<uint32_t>(EnvInt("RATEMARK_STRESS_SEED", 20261211));
    m_rng.seed(seed);
    std::printf("stress: up to %d runs, seed %u\n", runs, seed);

    CStressBoxes boxes(m_queue);
    CMessageBoxScope scope(&boxes, &m_queue);
    CWatchdog watchdog;
    m_frame.m_onMessage = [&](const SMessage&) { ReadLikeAView(); };
    std::map<EPhase, int> reached; // runs interrupted in each phase

    int done = 0;
    for (int run = 0; run < runs && std::chrono::steady_clock::now() - began < budget; ++run)
    {
        ++done;
        const auto plan = std::make_shared<const SPlan>(
            MakePlan(static_cast<EPhase>(run % static_cast<int>(EPhase::Count))));
        const SPlan& p = *plan;
        const std::string what = p.Describe(run, seed);
        SCOPED_TRACE(what);
        watchdog.Arm(what, std::chrono::seconds(150));

        const auto state = std::make_shared<SRunState>();
        state->Noise.seed(seed + static_cast<uint32_t>(run));
        m_drive.SetScript(ScriptFor(plan, state));
        Bind(p.Geometry, p.Random, p.Burst);
        if (HasFatalFailure())
            break;
        if (p.Fast)
            m_doc->ExecuteCommand(ID_FAST_TEST);
        if (p.Selection)
            m_doc->SelectCylinders(p.SelFrom, p.SelTo);
        m_frame.m_log.Messages.clear();
        const int questions = boxes.Questions();
        const bool questionPhase =
            p.Phase == EPhase::QuestionPending || p.Phase == EPhase::QuestionShown;
        const bool selectionRun = p.Selection;
        auto shownStop = std::make_shared<std::atomic<bool>>(false);
        boxes.SetQuestionHook([this, plan, shownStop]() -> int {
            if (plan->Phase != EPhase::QuestionShown)
                return plan->Answer;
            *shownStop = true;
            m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
            return plan->ShownAnswer;
        });

        state->Doc = m_doc.get();
        EXPECT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));

        // Serve the run up to the phase's moment (or its end, if it never comes).
        bool triggered = true, served = true;
        switch (p.Phase)
        {
        case EPhase::Setup:
            break;
        case EPhase::QuestionPending:
            served = PumpUntil([&] { return state->QuestionFailed.load(); });
            state->Acknowledged = true;
            for (int i = 0; served && i < 200000 && m_queue.WaitingCallers() == 0; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            EXPECT_EQ(m_queue.WaitingCallers(), 1u) << "the worker did not ask";
            break;
        case EPhase::QuestionShown:
            served = PumpUntil([&] { return shownStop->load() || !m_doc->IsRunning(); });
            triggered = *shownStop;
            break;
        case EPhase::End:
            served = PumpUntil(
                [&] { return !m_frame.m_log.Only(UM_TEST_END).empty() || !m_doc->IsRunning(); });
            break;
        default:
            served = PumpUntil([&] { return state->Triggered.load() || !m_doc->IsRunning(); });
            triggered = state->Triggered;
            break;
        }
        EXPECT_TRUE(served) << "the phase's moment never came";
        reached[p.Phase] += triggered ? 1 : 0;

        std::thread releaser([&] {
            if (p.HoldUs > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(p.HoldUs));
            state->Released = true;
        });
        if (p.LagUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(p.LagUs));
        Act(p.Action, p);
        if (m_doc)
        {
            EXPECT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); })) << "the run did not end";
        }
        releaser.join();
        m_queue.Pump();
        if (HasFailure())
        {
            m_doc.reset();
            break; // the first failing run is the one to look at
        }
        watchdog.Disarm();

        // Every run ends through the one end sequence, seen on the UI thread only.
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS, UM_SELECTION, UM_DRIVE_ACCEPTED}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}));
        EXPECT_FALSE(m_frame.m_log.HandledOffThread);
        EXPECT_FALSE(m_view.m_log.HandledOffThread);
        EXPECT_FALSE(boxes.OffThread());
        EXPECT_FALSE(m_drive.ReadWhileClosed());
        if (m_doc)
        {
            EXPECT_TRUE(m_doc->IsIdle());
        }

        // A stop is honoured at the next poll: at most the rest of one burst size's transfers
        // and of one cylinder, and the linear test's warm-up.
        const uint32_t H = p.Geometry.TracksPerCylinder;
        if (p.Action != EAction::None && triggered)
        {
            EXPECT_LE(state->ReadsAfterStop.load(), 36 + 2 * H + 2);
        }

        if (p.Phase == EPhase::QuestionPending)
        {
            EXPECT_EQ(boxes.Questions(), questions) << "a pending question was shown";
        }
        if (p.Phase == EPhase::QuestionShown && triggered)
        {
            EXPECT_EQ(boxes.Questions(), questions + 1);
        }

        std::vector<uint32_t> failed;
        {
            std::lock_guard lock(state->Mutex);
            failed = state->FailedLinearCylinders;
        }
        const bool kept = m_doc && (p.Action == EAction::None || p.Action == EAction::Stop);
        const bool mainKept =
            m_doc && !selectionRun &&
            (kept || p.Action == EAction::Select || p.Action == EAction::ClearSelection);
        if (kept && selectionRun)
            CheckResults(SelResults(), p.SelFrom, p.SelTo, failed, *m_doc, what);
        else if (mainKept)
            CheckResults(Results(), 0, p.Geometry.Cylinders, failed, *m_doc, what);
        if (m_doc && (p.Action == EAction::Close || p.Action == EAction::NewDocument))
        {
            EXPECT_EQ(m_doc->GetResultCount(), 0);
        }

        // A linear question's cylinder is stored with its error before the question is asked.
        if (kept && questionPhase && triggered && !p.QuestionInRandomAccess)
        {
            const std::vector<CReadingResult> r = selectionRun ? SelResults() : Results();
            ASSERT_FALSE(r.empty());
            EXPECT_EQ(static_cast<uint32_t>(r.back().m_nCylinder), p.QuestionCylinder);
            EXPECT_EQ(r.back().m_dwError, 23u);
        }
        if (kept && questionPhase && triggered && p.QuestionInRandomAccess)
        {
            EXPECT_TRUE(Results().empty()) << "the linear test measured after a stop";
        }

        if (HasFailure())
            break;
    }
    m_drive.SetScript(nullptr);
    std::printf("stress: %d runs done\n", done);

    for (int phase = 0; phase < static_cast<int>(EPhase::Count); ++phase)
    {
        const EPhase which = static_cast<EPhase>(phase);
        std::printf("stress: %-13s interrupted %d times\n", PhaseName(which), reached[which]);
        if (done >= 7 * static_cast<int>(EPhase::Count))
        {
            EXPECT_GT(reached[which], 0) << PhaseName(which) << " was never reached";
        }
    }
    m_frame.m_onMessage = nullptr;
}
