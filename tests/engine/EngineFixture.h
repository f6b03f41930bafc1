// A document over a scripted drive, a recording frame and view, scripted boxes and clock.
#pragma once

#include "engine/Commands.h"
#include "engine/RatemarkApp.h"
#include "engine/RatemarkDoc.h"
#include "engine/RunEnvironment.h"
#include "fixtures/RecordingWindows.h"
#include "fixtures/ScriptedDrive.h"
#include "framework/MessageQueue.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace testing_fx {

// The run's clock and memory as the test sets them; threads are real.
class CFakeEnvironment : public CRunEnvironment
{
public:
    int64_t CounterFrequency() override { return m_nFrequency.load(); }
    // Each call advances the clock by m_nTickStep.
    uint32_t TickCount() override { return m_nTick.fetch_add(m_nTickStep.load()); }
    void Sleep(uint32_t ms) override
    {
        m_nSleptMs += ms;
        if (m_onSleep)
            m_onSleep(m_nSleeps++);
    }
    void SetThreadPriority(platform::ThreadPriority priority) override
    {
        std::lock_guard lock(m_mutex);
        m_priorities.push_back(priority);
    }
    void* AllocPages(size_t bytes) override
    {
        if (m_nAllocs.fetch_add(1) == m_nFailAlloc.load())
            return nullptr;
        return CRunEnvironment::AllocPages(bytes);
    }
    void FreePages(void* block) override
    {
        if (block)
            ++m_nFrees;
        CRunEnvironment::FreePages(block);
    }
    std::unique_ptr<platform::CThread> CreateThread(platform::CThread::Entry entry, void* param,
                                                    platform::ThreadPriority priority,
                                                    bool suspended) override
    {
        if (m_bFailThread)
            return nullptr;
        m_startPriority = priority;
        m_bStartedSuspended = suspended;
        return CRunEnvironment::CreateThread(entry, param, priority, suspended);
    }
    std::vector<platform::ThreadPriority> Priorities()
    {
        std::lock_guard lock(m_mutex);
        return m_priorities;
    }

    std::atomic<int64_t> m_nFrequency{1024};
    std::atomic<uint32_t> m_nTick{5000};
    std::atomic<uint32_t> m_nTickStep{0};
    std::atomic<uint32_t> m_nSleptMs{0};
    // Called on the worker with the number of earlier sleeps; set before a run.
    std::function<void(int)> m_onSleep;
    int m_nSleeps = 0; // the worker's alone
    std::atomic<int> m_nAllocs{0};
    std::atomic<int> m_nFailAlloc{-1}; // the allocation (0-based) that fails
    std::atomic<int> m_nFrees{0};
    bool m_bFailThread = false;
    platform::ThreadPriority m_startPriority = platform::ThreadPriority::Normal;
    bool m_bStartedSuspended = false;

private:
    std::mutex m_mutex;
    std::vector<platform::ThreadPriority> m_priorities;
};

class CTestApp : public IRatemarkApp
{
public:
    explicit CTestApp(IHardDrive* drive) : m_pDrive(drive) {}
    IHardDrive* GetHardDrive() const override { return m_pDrive; }
    int GetDriveCount() const override { return static_cast<int>(m_drives.size()); }
    GEOMETRY GetDriveGeometry(int index) const override
    {
        if (index < 0 || index >= GetDriveCount())
            throw std::invalid_argument("drive index out of range");
        return m_drives[static_cast<size_t>(index)];
    }
    BOOL IsNT() const override { return m_bNT; }
    fw::ISettingsStore& GetSettings() override { return m_settings; }

    IHardDrive* m_pDrive;
    CDriveList m_drives;
    BOOL m_bNT = 1;
    fw::CMemorySettingsStore m_settings;
};

// A blocking point for a worker: the worker Arrive()s and waits until the test Release()s.
class CGate
{
public:
    void Arrive()
    {
        m_bArrived = true;
        for (int i = 0; i < 20000 && !m_bReleased; ++i)
            platform::Sleep(1);
    }
    bool Arrived() const { return m_bArrived; }
    void Release() { m_bReleased = true; }

private:
    std::atomic<bool> m_bArrived{false};
    std::atomic<bool> m_bReleased{false};
};

class EngineTest : public ::testing::Test
{
protected:
    static constexpr uint32_t kWaitMs = 60000;

    fw::CMessageQueue m_queue;
    CScriptedBoxes m_boxes{&m_queue};
    CMessageBoxScope m_scope{&m_boxes, &m_queue};
    CFakeEnvironment m_env;
    CScriptedDrive m_drive;
    CTestApp m_app{&m_drive};
    CRecordingFrame m_frame{m_queue};
    CRecordingView m_view{m_queue};
    std::unique_ptr<CRatemarkDoc> m_doc;

    void TearDown() override { m_doc.reset(); }

    // A document on drive index 0 of geometry g; the options as given (random access and
    // burst off unless asked for, so that a test sees only what it looks at).
    void Bind(const GEOMETRY& g, bool randomAccess = false, bool burst = false)
    {
        m_drive.SetGeometry(g);
        m_app.m_drives = {g};
        SRunOptions options;
        options.m_bRandomAccess = randomAccess;
        options.m_bBurstTest = burst;
        options.m_bHighPriority = 0;
        options.m_bFastTest = 0;
        WriteRunOptions(m_app.m_settings, options);
        m_doc = std::make_unique<CRatemarkDoc>(&m_app, m_queue, &m_env);
        m_doc->SetMainFrame(&m_frame);
        m_doc->AddView(&m_view);
        ASSERT_TRUE(m_doc->OnNewDocument());
        m_frame.m_log.Messages.clear();
        m_frame.m_selectorStates.clear();
        m_view.m_log.Messages.clear();
        m_view.m_invalidations.clear();
        m_view.m_updates.clear();
    }

    // Pumps the UI queue until pred or the bound.
    bool PumpUntil(const std::function<bool()>& pred) { return m_queue.PumpUntil(pred, kWaitMs); }

    // Starts a run and serves it until it has been reaped.
    void Run()
    {
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); })) << "the run did not end";
        m_queue.Pump();
    }

    std::vector<CReadingResult> Results() const
    {
        return {m_doc->GetResults(), m_doc->GetResults() + m_doc->GetResultCount()};
    }
    std::vector<CReadingResult> SelResults() const
    {
        return {m_doc->GetSelResults(), m_doc->GetSelResults() + m_doc->GetSelResultCount()};
    }
    std::vector<uint32_t> Cylinders(const std::vector<CReadingResult>& results) const
    {
        std::vector<uint32_t> out;
        for (const CReadingResult& r : results)
            out.push_back(static_cast<uint32_t>(r.m_nCylinder));
        return out;
    }
    std::vector<SChsRead> ReadsOfCount(uint32_t count) const
    {
        std::vector<SChsRead> out;
        for (const SChsRead& r : m_drive.Reads())
            if (r.Count == count)
                out.push_back(r);
        return out;
    }
};

} // namespace testing_fx
