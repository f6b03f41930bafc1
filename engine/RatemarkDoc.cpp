// The test session document: binding a drive, options, commands, the worker's life, selection.
#include "engine/RatemarkDoc.h"

#include "engine/Commands.h"
#include "engine/RatemarkApp.h"
#include "engine/RunEnvironment.h"
#include "engine/TestRun.h"
#include "framework/Archive.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "framework/MessageQueue.h"
#include "framework/Trace.h"
#include "framework/Wnd.h"
#include "platform/Thread.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <stdexcept>

namespace {

// A zeroed array of n results; null when memory runs out.
std::unique_ptr<CReadingResult[]> AllocResults(uint32_t n)
{
    return std::unique_ptr<CReadingResult[]>(new (std::nothrow) CReadingResult[n]());
}

} // namespace

CRatemarkDoc::CRatemarkDoc(IRatemarkApp* pApp, fw::CMessageQueue& queue, CRunEnvironment* pEnv)
    : m_pApp(pApp), m_queue(queue), m_pEnv(pEnv ? pEnv : &CRunEnvironment::System())
{
    for (auto& stat : m_stats)
        stat.store(kNoValue);
    SetDocTemplateString(res::LoadString(res::IDS_DOC_TEMPLATE));
    m_bNT = pApp ? pApp->IsNT() : 0;
    const SRunOptions options =
        pApp ? ReadRunOptions(pApp->GetSettings(), m_bNT) : DefaultRunOptions(m_bNT);
    m_bHighPriority = options.m_bHighPriority;
    m_bFastTest = options.m_bFastTest;
    m_bBurstTest = options.m_bBurstTest;
    m_bRandomAccess = options.m_bRandomAccess;
}

CRatemarkDoc::~CRatemarkDoc()
{
    StopWorker();
    // The drive object is the application's and outlives the document, but what this
    // document opened on it is closed here, also when no one cleared the document.
    if (m_pDrive && m_bDriveOpen)
        m_pDrive->Close();
    m_bDriveOpen = false;
    if (m_pApp)
        WriteRunOptions(m_pApp->GetSettings(), GetRunOptions());
}

SRunOptions CRatemarkDoc::GetRunOptions() const
{
    SRunOptions options;
    options.m_bHighPriority = m_bHighPriority.load();
    options.m_bFastTest = m_bFastTest.load();
    options.m_bBurstTest = m_bBurstTest.load();
    options.m_bRandomAccess = m_bRandomAccess.load();
    return options;
}

BOOL CRatemarkDoc::SetRunOptions(const SRunOptions& options)
{
    if (m_bRunning)
        return FALSE;
    m_bHighPriority = options.m_bHighPriority ? 1 : 0;
    m_bFastTest = options.m_bFastTest ? 1 : 0;
    m_bBurstTest = options.m_bBurstTest ? 1 : 0;
    m_bRandomAccess = options.m_bRandomAccess ? 1 : 0;
    return TRUE;
}

SRunOutcome CRatemarkDoc::GetLastRun()
{
    std::lock_guard lock(m_lock);
    return m_lastRun;
}

void CRatemarkDoc::SetLastRun(const SRunOutcome& outcome)
{
    std::lock_guard lock(m_lock);
    m_lastRun = outcome;
}

// ---- Frame and views

void CRatemarkDoc::SendToFrame(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    if (m_pFrame)
        m_pFrame->Send(msg, wParam, lParam);
}

void CRatemarkDoc::SendSelectionChanged(uintptr_t wParam, intptr_t lParam)
{
    if (m_pMainFrame)
        m_pMainFrame->Send(UM_SELECTION, wParam, lParam);
}

void CRatemarkDoc::InvalidateViews(BOOL bErase)
{
    ForEachView([bErase](fw::CView* pView) { pView->Invalidate(bErase); });
}

void CRatemarkDoc::NotifyViews(uintptr_t wParam, intptr_t lParam)
{
    ForEachView([=](fw::CView* pView) { pView->Post(UM_REFRESH, wParam, lParam); });
}

// ---- Document protocol

BOOL CRatemarkDoc::IsModified()
{
    return CDocument::IsModified();
}

void CRatemarkDoc::SetModifiedFlag(BOOL bModified)
{
    CDocument::SetModifiedFlag(bModified);
}

BOOL CRatemarkDoc::OnOpenDocument(const std::string&)
{
    return FALSE;
}

BOOL CRatemarkDoc::OnNewDocument()
{
    m_bShortOfResultMemory = false;
    if (!CDocument::OnNewDocument())
        return FALSE;
    try
    {
        m_pFrame = m_pMainFrame;
        if (!m_pFrame || !m_pApp)
            return FALSE;
        const int index = m_pFrame->GetSelectedDrive();
        if (index == -1)
            return FALSE;
        SetTitle(fw::FormatText(res::LoadString(res::IDS_DOC_TITLE), index));

        m_pDrive = m_pApp->GetHardDrive();
        m_geometry = m_pApp->GetDriveGeometry(index);

        const GEOMETRY& g = m_geometry;
        if (!m_pDrive || !m_pDrive->Open(g.Drive, g.Cylinders, g.TracksPerCylinder,
                                         g.SectorsPerTrack, g.BytesPerSector))
        {
            // The authoriser's reason tells the user what to do about it (a password, a rule).
            std::string text = res::LoadString(res::IDS_CANT_OPEN_DRIVE);
            if (m_pDrive && !m_pDrive->GetOpenRefusal().empty())
                text += "\n" + m_pDrive->GetOpenRefusal();
            fw::MessageBox(text, fw::kMbOk | fw::kMbIconHand);
            return FALSE;
        }
        m_bDriveOpen = true;
        m_pDrive->AnalysePartitions();
        if (g.Cylinders == 0)
            return FALSE;
        m_pResults = AllocResults(g.Cylinders);
        if (!m_pResults)
        {
            m_bShortOfResultMemory = true;
            return FALSE;
        }
        m_nResultSlots = g.Cylinders;

        SendToFrame(UM_DRIVE_ACCEPTED, 0, 1);

        m_nResults = 0;
        m_nSelResults = 0;
        for (auto& stat : m_stats)
            stat.store(kNoValue);
        m_stats[0] = g.Cylinders;
        m_stats[1] = g.TracksPerCylinder;
        m_stats[2] = g.SectorsPerTrack;

        InvalidateViews(TRUE);
        return TRUE;
    }
    catch (const std::invalid_argument&)
    {
        // A drive index outside the list: the binding fails like any other.
        return FALSE;
    }
    catch (...)
    {
        fw::TraceCurrentException("Binding a drive");
        return FALSE;
    }
}

void CRatemarkDoc::DeleteContents()
{
    StopWorker();
    if (m_pDrive)
        m_pDrive->Close();
    m_bDriveOpen = false;
    // No count may outlive its array: a reader must never find entries that are gone.
    m_nResults = 0;
    m_pResults.reset();
    m_nResultSlots = 0;
    ClearSelection();
    CDocument::DeleteContents();
}

void CRatemarkDoc::Serialize(fw::CArchive& ar)
{
    if (!ar.IsStoring())
        return;
    StopWorker();
    if (!m_pResults)
        return;
    try
    {
        const int32_t n = m_nResults.load(std::memory_order_acquire);
        for (int32_t i = 0; i < n; ++i)
        {
            char line[32];
            const int len = std::snprintf(line, sizeof line, "%d %d\n", m_pResults[i].m_nCylinder,
                                          static_cast<int>(m_pResults[i].m_nSpeed));
            ar.Write(line, static_cast<size_t>(len));
        }
    }
    catch (const fw::CFileException&)
    {
        fw::MessageBox(res::IDS_WRITE_ERROR, fw::kMbOk | fw::kMbIconHand);
    }
}

// ---- The worker's life

bool CRatemarkDoc::WaitForWorker(uint32_t ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        try
        {
            // Serving the queue is what lets a worker that sends or asks come to its end.
            return m_queue.PumpUntil([&] { return m_pWorker->Wait(0); },
                                     static_cast<uint32_t>(std::max<int64_t>(left.count(), 0)));
        }
        catch (...)
        {
            // A handler's failure must not end the wait while the worker runs.
            fw::TraceCurrentException("Waiting for the test run");
        }
    }
}

void CRatemarkDoc::ReapWorker()
{
    m_pWorker.reset();
    m_bRunning = 0;
}

BOOL CRatemarkDoc::IsRunning()
{
    if (m_bRunning && m_pWorker && m_pWorker->Wait(0))
    {
        m_bStop = 1;
        WaitForWorker(kStopWaitMs);
        ReapWorker();
    }
    if (m_pFrame)
        m_pFrame->EnableDriveSelector(m_bRunning == 0);
    return m_bRunning;
}

void CRatemarkDoc::StopWorker()
{
    m_bStop = 1;
    if (!m_pWorker)
        return;
    // A worker that outlasts the wait (blocked in a drive read) is waited for again: the
    // arrays, the drive and the document must outlive it.
    while (!WaitForWorker(kStopWaitMs))
    {}
    ReapWorker();
}

void CRatemarkDoc::OnStart()
{
    // One worker at a time: a call that bypasses the command state finds the last one still
    // running, or ended and not yet reaped.
    if (m_pWorker)
    {
        if (!m_pWorker->Wait(0))
            return;
        ReapWorker();
    }
    m_bRunning = 1;
    if (m_pFrame)
        m_pFrame->EnableDriveSelector(IsRunning() == 0);
    m_bStop = 0;
    SRunOutcome running;
    running.m_eEnd = ERunEnd::Running;
    SetLastRun(running);
    std::unique_ptr<platform::CThread> worker =
        m_pEnv->CreateThread(&TestThreadProc, this, platform::ThreadPriority::Lowest, true);
    if (worker)
    {
        m_pWorker = std::move(worker);
        m_pWorker->Resume();
    }
    else
    {
        SRunOutcome failed;
        failed.m_eEnd = ERunEnd::Failed;
        failed.m_nMessageId = res::IDS_CANT_START_THREAD;
        SetLastRun(failed);
        fw::MessageBox(res::IDS_CANT_START_THREAD, fw::kMbOk | fw::kMbIconHand);
        m_bRunning = 0;
    }
}

void CRatemarkDoc::OnStop()
{
    if (m_bRunning && m_pWorker)
        m_bStop = 1;
}

// ---- Options

void CRatemarkDoc::OnHighPriority()
{
    m_bHighPriority.exchange(!m_bHighPriority.load());
}

void CRatemarkDoc::OnFastTest()
{
    m_bFastTest = 1;
}

void CRatemarkDoc::OnFullTest()
{
    m_bFastTest = 0;
}

void CRatemarkDoc::OnBurstTest()
{
    m_bBurstTest.exchange(!m_bBurstTest.load());
}

void CRatemarkDoc::OnRandomAccess()
{
    m_bRandomAccess.exchange(!m_bRandomAccess.load());
}

// ---- Command states

void CRatemarkDoc::OnUpdateStart(fw::CCmdUI* pCmdUI)
{
    // Without a result array (no drive bound, or the last binding failed) nothing can run.
    pCmdUI->Enable(!IsRunning() && m_pResults != nullptr);
}

void CRatemarkDoc::OnUpdateStop(fw::CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsRunning());
}

void CRatemarkDoc::OnUpdateHighPriority(fw::CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    pCmdUI->SetCheck(m_bHighPriority ? 1 : 0);
}

void CRatemarkDoc::OnUpdateFastTest(fw::CCmdUI* pCmdUI)
{
    pCmdUI->Enable(!IsRunning());
    pCmdUI->SetRadio(m_bFastTest);
}

void CRatemarkDoc::OnUpdateFullTest(fw::CCmdUI* pCmdUI)
{
    pCmdUI->Enable(!IsRunning());
    pCmdUI->SetRadio(!m_bFastTest);
}

void CRatemarkDoc::OnUpdateBurstTest(fw::CCmdUI* pCmdUI)
{
    const bool applicable = !m_bSelection && !m_bFastTest && m_bNT;
    pCmdUI->Enable(!IsRunning() && applicable);
    pCmdUI->SetCheck(m_bBurstTest && applicable ? 1 : 0);
}

void CRatemarkDoc::OnUpdateRandomAccess(fw::CCmdUI* pCmdUI)
{
    const bool applicable = !m_bSelection && !m_bFastTest;
    pCmdUI->Enable(!IsRunning() && applicable);
    pCmdUI->SetCheck(m_bRandomAccess && applicable ? 1 : 0);
}

void CRatemarkDoc::OnUpdateSave(fw::CCmdUI* pCmdUI)
{
    std::lock_guard lock(m_lock);
    pCmdUI->Enable(!m_bRunning && IsModified());
}

BOOL CRatemarkDoc::OnUpdateCommand(fw::CCmdUI& cmdUI)
{
    switch (cmdUI.m_nID)
    {
    case ID_START_DIAGNOSTIC:
        OnUpdateStart(&cmdUI);
        return TRUE;
    case ID_STOP_DIAGNOSTIC:
        OnUpdateStop(&cmdUI);
        return TRUE;
    case ID_HIGH_PRIORITY:
        OnUpdateHighPriority(&cmdUI);
        return TRUE;
    case ID_FAST_TEST:
        OnUpdateFastTest(&cmdUI);
        return TRUE;
    case ID_FULL_TEST:
        OnUpdateFullTest(&cmdUI);
        return TRUE;
    case ID_BURST_TEST:
        OnUpdateBurstTest(&cmdUI);
        return TRUE;
    case ID_RANDOM_ACCESS:
        OnUpdateRandomAccess(&cmdUI);
        return TRUE;
    case fw::ID_FILE_SAVE:
    case fw::ID_FILE_SAVE_AS:
        OnUpdateSave(&cmdUI);
        return TRUE;
    default:
        return CDocument::OnUpdateCommand(cmdUI);
    }
}

BOOL CRatemarkDoc::OnCommand(uint32_t id)
{
    switch (id)
    {
    case ID_START_DIAGNOSTIC:
        OnStart();
        return TRUE;
    case ID_STOP_DIAGNOSTIC:
        OnStop();
        return TRUE;
    case ID_HIGH_PRIORITY:
        OnHighPriority();
        return TRUE;
    case ID_FAST_TEST:
        OnFastTest();
        return TRUE;
    case ID_FULL_TEST:
        OnFullTest();
        return TRUE;
    case ID_BURST_TEST:
        OnBurstTest();
        return TRUE;
    case ID_RANDOM_ACCESS:
        OnRandomAccess();
        return TRUE;
    default:
        return CDocument::OnCommand(id);
    }
}

// ---- Statistics

uint32_t CRatemarkDoc::GetGraphMax()
{
    std::lock_guard lock(m_lock);
    return m_nGraphMax;
}

uint32_t CRatemarkDoc::GetStat(int index)
{
    if (static_cast<unsigned>(index) >= kStatCount)
        throw std::invalid_argument("statistics index out of range");
    std::lock_guard lock(m_lock);
    return m_stats[static_cast<size_t>(index)].load();
}

std::string CRatemarkDoc::GetStatText(int row)
{
    if (static_cast<unsigned>(row) >= kStatCount)
        return std::string();
    // Formatted under the lock, so the text never shows a value torn by the worker.
    std::lock_guard lock(m_lock);
    return FormatStatText(row, m_stats[static_cast<size_t>(row)].load());
}

const CReadingResult& CRatemarkDoc::GetResult(int32_t i) const
{
    if (!m_pResults || i < 0 || i >= GetResultCount())
        throw std::invalid_argument("result index out of range");
    return m_pResults[static_cast<size_t>(i)];
}

const CReadingResult& CRatemarkDoc::GetSelResult(int32_t i) const
{
    if (!m_pSelResults || i < 0 || i >= GetSelResultCount())
        throw std::invalid_argument("selection result index out of range");
    return m_pSelResults[static_cast<size_t>(i)];
}

// ---- Selection

void CRatemarkDoc::SetSelection(int a, int b, int w)
{
    const uint64_t c = m_geometry.Cylinders;
    // Offsets outside the plot area are on its edges; a plot area without width selects
    // nothing.
    const int64_t width = w > 0 ? w : 1;
    const int64_t pa = w > 0 ? std::clamp<int64_t>(a, 0, width) : 0;
    const int64_t pb = w > 0 ? std::clamp<int64_t>(b, 0, width) : 0;
    // In 64 bits: C × offset passes 32 bits on drives of more than about 2 TB.
    const auto at = [&](int64_t offset) {
        return static_cast<uint32_t>(c * static_cast<uint64_t>(offset) /
                                     static_cast<uint64_t>(width));
    };
    if (b >= a)
        SelectCylinders(at(pa), at(pb));
    else
        SelectCylinders(at(pb), at(pa));
}

void CRatemarkDoc::SelectCylinders(uint32_t from, uint32_t to)
{
    // The arrays are the worker's while it lives; the graph never selects during a run.
    if (m_pWorker)
        StopWorker();
    {
        std::lock_guard lock(m_lock);
        m_nSelStart = std::min(from, m_geometry.Cylinders);
        m_nSelEnd = std::clamp(to, m_nSelStart, m_geometry.Cylinders);
        const uint32_t n = m_nSelEnd - m_nSelStart;
        m_pSelResults.reset();
        m_nSelResultSlots = 0;
        if (n == 0)
        {
            m_bSelection = 0;
        }
        else
        {
            m_pSelResults = AllocResults(n);
            m_bSelection = m_pSelResults ? 1 : 0;
            m_nSelResultSlots = m_pSelResults ? n : 0;
        }
        m_nSelResults = 0;
    }
    UpdateAllViews(nullptr, 0);
    SendSelectionChanged(static_cast<uintptr_t>(m_bSelection), reinterpret_cast<intptr_t>(this));
}

void CRatemarkDoc::ClearSelection()
{
    if (m_pWorker)
        StopWorker();
    {
        std::lock_guard lock(m_lock);
        m_bSelection = 0;
        m_nSelStart = 0;
        m_nSelEnd = 0;
        m_nSelResults = 0;
        m_pSelResults.reset();
        m_nSelResultSlots = 0;
    }
    UpdateAllViews(nullptr, 0);
    SendSelectionChanged(0, 0);
}
