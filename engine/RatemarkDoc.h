// The test session of one drive: options, results, statistics, the worker, the commands.
#pragma once

#include "diskaccess/HardDrive.h"
#include "engine/ReadingResult.h"
#include "engine/RunOptions.h"
#include "engine/RunOutcome.h"
#include "engine/StatRows.h"
#include "framework/Document.h"
#include "platform/Types.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace fw {
class CMessageQueue;
}
namespace platform {
class CThread;
}
class CRunEnvironment;
class CTestRun;
class IRatemarkApp;
class IRatemarkFrame;

class CRatemarkDoc : public fw::CDocument
{
public:
    static constexpr int kStatCount = kStatRowCount;
    // A statistics entry without a value.
    static constexpr uint32_t kNoValue = 0xFFFFFFFF;
    // How long one wait for the worker lasts before it is waited for again.
    static constexpr uint32_t kStopWaitMs = 10000;

    // Reads the options from pApp's settings (defaults without an application). queue is the
    // UI thread's: every wait for the worker keeps serving it. pEnv null means the platform's.
    CRatemarkDoc(IRatemarkApp* pApp, fw::CMessageQueue& queue, CRunEnvironment* pEnv = nullptr);
    // Stops a worker that still runs, closes the drive it opened and writes the options back.
    ~CRatemarkDoc() override;
    CRatemarkDoc(const CRatemarkDoc&) = delete;
    CRatemarkDoc& operator=(const CRatemarkDoc&) = delete;

    // The application's main window: OnNewDocument records it as m_pFrame, and the selection
    // messages go to it.
    void SetMainFrame(IRatemarkFrame* pFrame) { m_pMainFrame = pFrame; }

    // Writes the whole-drive results as "%d %d\n" lines; reports a file error with 10009.
    void Serialize(fw::CArchive& ar) override;
    BOOL IsModified() override;
    void SetModifiedFlag(BOOL bModified = TRUE) override;
    void DeleteContents() override;
    // Binds the drive the frame's selector names. FALSE leaves the document without results.
    BOOL OnNewDocument() override;
    // Result files are never read back: always FALSE, the file untouched.
    BOOL OnOpenDocument(const std::string& path) override;

    BOOL OnUpdateCommand(fw::CCmdUI& cmdUI) override;
    BOOL OnCommand(uint32_t id) override;

    // Commands.
    void OnStart();
    void OnStop();
    void OnHighPriority();
    void OnFastTest();
    void OnFullTest();
    void OnBurstTest();
    void OnRandomAccess();

    // Command states.
    void OnUpdateStart(fw::CCmdUI* pCmdUI);
    void OnUpdateStop(fw::CCmdUI* pCmdUI);
    void OnUpdateHighPriority(fw::CCmdUI* pCmdUI);
    void OnUpdateFastTest(fw::CCmdUI* pCmdUI);
    void OnUpdateFullTest(fw::CCmdUI* pCmdUI);
    void OnUpdateBurstTest(fw::CCmdUI* pCmdUI);
    void OnUpdateRandomAccess(fw::CCmdUI* pCmdUI);
    void OnUpdateSave(fw::CCmdUI* pCmdUI);

    // Whether a run is in progress; reaps a worker that has ended and sets the drive
    // selector's state to match.
    BOOL IsRunning();
    // No run in progress, without reaping.
    BOOL IsIdle() const { return !m_bRunning; }
    // A stop has been asked for since the last start; any thread may ask.
    BOOL IsStopRequested() const { return m_bStop.load(); }
    // Asks a worker to stop and waits for it, serving its messages and boxes meanwhile; a
    // worker that outlasts the wait is waited for again, so the document never goes while it
    // runs.
    void StopWorker();

    // Posts UM_REFRESH to every view, from any thread.
    void NotifyViews(uintptr_t wParam, intptr_t lParam);
    uint32_t GetGraphMax();
    // The data list's text of statistics row; "" outside 0 to 12 and for an entry without a
    // value.
    std::string GetStatText(int row);
    // The text of value in statistics row: what GetStatText shows for it.
    static std::string FormatStatText(int row, uint32_t value)
    {
        return FormatStatValue(row, value);
    }
    // Statistics entry index (kNoValue when it has none); std::invalid_argument outside 0 to 12.
    uint32_t GetStat(int index);

    // The selection from a drag on the graph: a and b pixel offsets into a plot area w wide.
    void SetSelection(int a, int b, int w);
    // The selection of cylinders [from, to), cut to the drive; an empty range selects nothing.
    void SelectCylinders(uint32_t from, uint32_t to);
    void ClearSelection();

    // Plain accessors. A reader of an array reads its count first and then only the entries
    // below it.
    const CReadingResult* GetResults() const { return m_pResults.get(); }
    int32_t GetResultCount() const { return m_nResults.load(std::memory_order_acquire); }
    const CReadingResult* GetSelResults() const { return m_pSelResults.get(); }
    int32_t GetSelResultCount() const { return m_nSelResults.load(std::memory_order_acquire); }
    // Entry i of the arrays; std::invalid_argument outside the stored entries.
    const CReadingResult& GetResult(int32_t i) const;
    const CReadingResult& GetSelResult(int32_t i) const;
    uint32_t GetCylinders() const { return m_geometry.Cylinders; }
    const GEOMETRY& GetGeometry() const { return m_geometry; }
    IHardDrive* GetDrive() const { return m_pDrive; }
    // True when the last binding failed because one result per cylinder did not fit in memory.
    bool IsShortOfResultMemory() const { return m_bShortOfResultMemory; }
    BOOL HasSelection() const { return m_bSelection; }
    uint32_t GetSelStart() const { return m_nSelStart; }
    uint32_t GetSelEnd() const { return m_nSelEnd; }
    BOOL IsFastTest() const { return m_bFastTest.load(); }
    BOOL IsHighPriority() const { return m_bHighPriority.load(); }
    BOOL IsBurstTest() const { return m_bBurstTest.load(); }
    BOOL IsRandomAccess() const { return m_bRandomAccess.load(); }
    BOOL IsNT() const { return m_bNT; }

    // The options the next run uses.
    SRunOptions GetRunOptions() const;
    // Sets all four options at once, as their commands would; FALSE, and nothing changed,
    // while a run is in progress.
    BOOL SetRunOptions(const SRunOptions& options);

    // How the last run ended and what it ran; ERunEnd::None before the first start. Safe
    // from any thread; final once IsRunning() has returned 0.
    SRunOutcome GetLastRun();

private:
    friend class CTestRun;

    // Waits for the worker to end while serving the UI queue; true when it has ended.
    bool WaitForWorker(uint32_t ms);
    // Destroys the ended worker's thread object.
    void ReapWorker();
    void SendToFrame(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void SendSelectionChanged(uintptr_t wParam, intptr_t lParam);
    void InvalidateViews(BOOL bErase);
    void SetLastRun(const SRunOutcome& outcome);

    BOOL m_bNT = 0;
    std::atomic<BOOL> m_bBurstTest{0};
    std::atomic<BOOL> m_bRandomAccess{0};
    uint32_t m_nSelEnd = 0;
    uint32_t m_nSelStart = 0;
    uint32_t m_nGraphMax = 0;
    BOOL m_bSelection = 0;
    std::atomic<BOOL> m_bFastTest{0};
    std::atomic<BOOL> m_bHighPriority{1};
    BOOL m_bRunning = 0;
    std::atomic<BOOL> m_bStop{0};
    IHardDrive* m_pDrive = nullptr;
    GEOMETRY m_geometry;
    std::unique_ptr<CReadingResult[]> m_pResults;
    std::unique_ptr<CReadingResult[]> m_pSelResults;
    std::atomic<int32_t> m_nResults{0};
    std::atomic<int32_t> m_nSelResults{0};
    std::unique_ptr<platform::CThread> m_pWorker;
    std::array<std::atomic<uint32_t>, kStatCount> m_stats;
    IRatemarkFrame* m_pFrame = nullptr;
    std::mutex m_lock;

    IRatemarkApp* m_pApp;
    fw::CMessageQueue& m_queue;
    CRunEnvironment* m_pEnv;
    IRatemarkFrame* m_pMainFrame = nullptr;
    uint32_t m_nResultSlots = 0;
    bool m_bShortOfResultMemory = false;
    uint32_t m_nSelResultSlots = 0;
    bool m_bDriveOpen = false; // m_pDrive was opened by this document and not closed since
    SRunOutcome m_lastRun;     // under m_lock
};
