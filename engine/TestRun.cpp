// A test run: setup, the linear read test, and the end sequence every run ends with.
#include "engine/TestRun.h"

#include "engine/RatemarkApp.h"
#include "engine/RatemarkDoc.h"
#include "engine/RunEnvironment.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

#include <algorithm>

namespace {

// ⌊⌊bytes × F / 1024⌋ / ticks⌋ in kB/s: the product wraps at 64 bits as the signed
// arithmetic of the original does, but without undefined behaviour.
uint32_t SpeedOf(uint64_t bytes, int64_t frequency, int64_t ticks)
{
    const int64_t scaled = static_cast<int64_t>(bytes * static_cast<uint64_t>(frequency));
    return static_cast<uint32_t>(scaled / 1024 / ticks);
}

} // namespace

unsigned TestThreadProc(void* pParam)
{
    CTestRun run(*static_cast<CRatemarkDoc*>(pParam));
    run.Execute();
    return 0;
}

CTestRun::CTestRun(CRatemarkDoc& doc) : m_doc(doc), m_env(*doc.m_pEnv) {}

CTestRun::~CTestRun() = default;

bool CTestRun::StopRequested()
{
    if (m_doc.m_bStop.load() == 0)
        return false;
    m_bStopSeen = true;
    return true;
}

CTestRun::ERead CTestRun::Read(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                               void* buffer, uint32_t* sectorsRead)
{
    // Polled before every read, not only between cylinders: on a dying drive one read can
    // take seconds, and a whole cylinder minutes.
    *sectorsRead = 0;
    if (StopRequested())
        return ERead::Stopped;
    if (m_pDrive->ReadChs(cylinder, head, sector, count, buffer, sectorsRead))
        return ERead::Ok;
    return m_pDrive->IsGone() ? ERead::Gone : ERead::Failed;
}

void CTestRun::DriveGone()
{
    m_bAbandoned = true;
    LowerIfRaised();
    m_outcome.m_eEnd = ERunEnd::Cancelled;
    m_outcome.m_nMessageId = res::IDS_DRIVE_GONE;
    m_outcome.m_dwError = m_pDrive->GetErrorCode();
    m_outcome.m_nErrorCylinder = m_pDrive->GetErrorCylinder();
    m_outcome.m_nErrorHead = m_pDrive->GetErrorHead();
    const std::string text =
        fw::FormatText(res::LoadString(res::IDS_DRIVE_GONE), m_outcome.m_dwError,
                       m_outcome.m_nErrorCylinder, m_outcome.m_nErrorHead);
    fw::MessageBox(fw::SMessageBoxRequest{text, fw::kMbOk | fw::kMbIconHand, res::IDS_DRIVE_GONE},
                   &m_doc.m_bStop);
}

void CTestRun::Fail(uint32_t id)
{
    m_outcome.m_eEnd = ERunEnd::Failed;
    m_outcome.m_nMessageId = id;
    fw::MessageBox(id, fw::kMbOk | fw::kMbIconHand);
}

void CTestRun::CancelledByUser()
{
    m_outcome.m_eEnd = ERunEnd::Cancelled;
    m_outcome.m_nMessageId = res::IDS_READ_ERROR_QUESTION;
    m_outcome.m_dwError = m_pDrive->GetErrorCode();
    m_outcome.m_nErrorCylinder = m_pDrive->GetErrorCylinder();
    m_outcome.m_nErrorHead = m_pDrive->GetErrorHead();
}

void CTestRun::RaiseIfWanted()
{
    m_bRaised = m_doc.m_bHighPriority.load() != 0;
    if (m_bRaised)
        m_env.SetThreadPriority(platform::ThreadPriority::TimeCritical);
}

void CTestRun::LowerIfRaised()
{
    if (m_bRaised)
        m_env.SetThreadPriority(platform::ThreadPriority::Normal);
    m_bRaised = false;
}

int CTestRun::AskReadError()
{
    const std::string text =
        fw::FormatText(res::LoadString(res::IDS_READ_ERROR_QUESTION), m_pDrive->GetErrorCode(),
                       m_pDrive->GetErrorCylinder(), m_pDrive->GetErrorHead());
    const int answer =
        fw::MessageBox(fw::SMessageBoxRequest{text, fw::kMbYesNoCancel | fw::kMbIconHand,
                                              res::IDS_READ_ERROR_QUESTION},
                       &m_doc.m_bStop);
    if (answer == fw::kIdYes || answer == fw::kIdNo)
        return answer;
    // A question dropped because a stop came meanwhile ends the run as stopped, not as
    // cancelled by the user.
    if (!StopRequested())
        CancelledByUser();
    return fw::kIdCancel;
}

void CTestRun::Progress(uintptr_t percent, intptr_t phaseId)
{
    if (m_doc.m_pFrame)
        m_doc.m_pFrame->Post(UM_PROGRESS, percent, phaseId);
}

void CTestRun::Execute()
{
    m_outcome.m_eEnd = ERunEnd::Running;
    try
    {
        if (Setup())
        {
            m_outcome.m_bFast = m_bFast;
            m_outcome.m_bSelectionRun = m_bSelectionRun;
            m_nAccess = 0xFFFFFFFF;
            if (!m_bSelectionRun && !m_doc.m_bFastTest && m_doc.m_bRandomAccess)
            {
                m_outcome.m_bRandomAccessRan = 1;
                RandomAccessTest();
            }
            m_nBurst = 0xFFFFFFFF;
            if (!m_bAbandoned && !m_bSelectionRun && !m_doc.m_bFastTest && m_doc.m_bNT &&
                m_doc.m_bBurstTest)
            {
                m_outcome.m_bBurstRan = 1;
                ReadBurstTest();
            }
            if (!m_bAbandoned)
                LinearReadTest();
        }
    }
    catch (...)
    {
        // Whatever ended the run, the end sequence follows; what ended it is kept.
        fw::TraceCurrentException("Test run");
        m_outcome.m_eEnd = ERunEnd::Failed;
        m_outcome.m_nMessageId = 0;
    }
    if (m_outcome.m_eEnd == ERunEnd::Running)
        m_outcome.m_eEnd = m_bStopSeen ? ERunEnd::Stopped : ERunEnd::Completed;
    EndSequence();
}

bool CTestRun::Setup()
{
    m_bFast = m_doc.m_bFastTest.load() != 0;
    m_pDrive = m_doc.m_pDrive;
    if (!m_pDrive)
    {
        Fail(res::IDS_INTERNAL_ERROR);
        return false;
    }

    const GEOMETRY& g = m_doc.m_geometry;
    m_C = g.Cylinders;
    m_H = g.TracksPerCylinder;
    m_S = g.SectorsPerTrack;
    m_B = g.BytesPerSector;
    m_track = CRunPages(m_env, static_cast<size_t>(uint64_t{m_S} * m_B));
    if (!m_track)
    {
        Fail(res::IDS_OUT_OF_MEMORY);
        return false;
    }

    // Without a counter no read can be timed, and every rate would divide by zero.
    m_F = m_env.CounterFrequency();
    if (m_F <= 0)
    {
        Fail(res::IDS_INTERNAL_ERROR);
        return false;
    }

    {
        std::lock_guard lock(m_doc.m_lock);
        m_bSelectionRun = m_doc.m_bSelection != 0;
        if (m_bSelectionRun)
        {
            m_nStart = m_doc.m_nSelStart;
            m_nEnd = m_doc.m_nSelEnd;
            m_pActive = m_doc.m_pSelResults.get();
            m_pActiveCount = &m_doc.m_nSelResults;
            m_nActiveSlots = m_doc.m_nSelResultSlots;
        }
        else
        {
            m_nStart = 0;
            m_nEnd = m_C;
            m_pActive = m_doc.m_pResults.get();
            m_pActiveCount = &m_doc.m_nResults;
            m_nActiveSlots = m_doc.m_nResultSlots;
        }
        if (m_pActive)
        {
            m_doc.m_nSelResults.store(0);
            m_pActiveCount->store(0);
            if (!m_bSelectionRun)
            {
                m_doc.m_nGraphMax = 0;
                m_doc.SetModifiedFlag(FALSE);
            }
            for (int i = 5; i < CRatemarkDoc::kStatCount; ++i)
                m_doc.m_stats[static_cast<size_t>(i)].store(CRatemarkDoc::kNoValue);
        }
    }
    // No drive bound (its binding failed): there is nowhere to store a result.
    if (!m_pActive)
    {
        Fail(res::IDS_INTERNAL_ERROR);
        return false;
    }

    m_bShowErrors = true;
    m_nMax = 0;
    m_nMin = 0xFFFFFFFF;
    m_nMinCylinder = 0xFFFFFFFF;
    m_nSum = 0;
    m_nCount = 0;
    m_nStartTick = m_env.TickCount();

    m_doc.InvalidateViews(FALSE);
    m_doc.SendToFrame(UM_TEST_BEGIN, 0, 0);
    return true;
}

void CTestRun::LinearReadTest()
{
    int32_t step = static_cast<int32_t>(m_C / 100);
    if (step == 0)
        step = 1;

    // Warm-up: spins the drive up and brings the heads to the first cylinder; never timed.
    // A stop here ends the run before any cylinder is measured.
    for (uint32_t h = 0; h < m_H; ++h)
    {
        uint32_t n = 0;
        const ERead read = Read(m_nStart, h, 0, m_S, m_track.Get(), &n);
        if (read == ERead::Stopped)
            return;
        if (read == ERead::Gone)
        {
            DriveGone();
            return;
        }
        if (read == ERead::Failed)
            break;
    }

    uint32_t c = m_nStart;
    while (c < m_nEnd && !StopRequested())
    {
        bool cancel = false;
        MeasureCylinder(c, &cancel);
        if (cancel)
            break;
        if (!m_bFast)
        {
            ++c;
        }
        else if (c == m_nEnd - 1)
        {
            c = m_nEnd;
        }
        else
        {
            const uint64_t next = uint64_t{c} + static_cast<uint64_t>(step);
            c = next >= m_nEnd ? m_nEnd - 1 : static_cast<uint32_t>(next);
        }
    }
}

void CTestRun::MeasureCylinder(uint32_t c, bool* pCancel)
{
    RaiseIfWanted();

    BOOL ok = 1;
    if (m_bFast && c != 0)
    {
        // Leave the heads where a sequential read of cylinder c - 1 would have left them.
        for (uint32_t h = m_H >= 2 ? m_H - 2 : 0; h < m_H; ++h)
        {
            uint32_t n = 0;
            const ERead read = Read(c - 1, h, 0, m_S, m_track.Get(), &n);
            if (read == ERead::Stopped || read == ERead::Gone)
            {
                // Nothing of cylinder c has been measured: it is not stored.
                LowerIfRaised();
                if (read == ERead::Gone)
                    DriveGone();
                *pCancel = true;
                return;
            }
            ok = read == ERead::Ok;
            if (!ok)
                break;
        }
    }

    m_pDrive->ResetReadTime();
    uint32_t sectors = 0;
    bool gone = false;
    // The fast test reads a tenth of the tracks, but at least one: a drive of fewer than ten
    // heads would otherwise time nothing.
    const uint32_t tracks = !m_bFast ? m_H : m_H == 0 ? 0 : std::max<uint32_t>(1, m_H / 10);
    for (uint32_t h = 0; h < tracks; ++h)
    {
        uint32_t n = 0;
        const ERead read = Read(c, h, 0, m_S, m_track.Get(), &n);
        if (read == ERead::Stopped)
        {
            // A stop inside the cylinder discards it: the statistics stay those of the
            // last whole cylinder.
            LowerIfRaised();
            *pCancel = true;
            return;
        }
        sectors += n;
        ok = read == ERead::Ok;
        gone = read == ERead::Gone;
        if (!ok)
            break;
    }

    int64_t ticks = m_pDrive->GetReadTime();
    LowerIfRaised();
    if (ticks <= 0)
        ticks = 1;
    const uint32_t speed = SpeedOf(uint64_t{sectors} * m_B, m_F, ticks);
    const uint32_t error = m_pDrive->GetErrorCode();

    const int32_t index = m_pActiveCount->load(std::memory_order_relaxed);
    if (index < 0 || static_cast<uint32_t>(index) >= m_nActiveSlots)
    {
        *pCancel = true;
        return;
    }
    CReadingResult& slot = m_pActive[index];
    slot.m_nCylinder = static_cast<int32_t>(c);
    slot.m_nSpeed = speed;
    slot.m_dwError = error;
    m_pActiveCount->fetch_add(1, std::memory_order_release);

    const uint32_t graphMax = std::max(m_doc.m_nGraphMax, speed);
    m_nMax = std::max(m_nMax, speed);
    if (speed < m_nMin)
        m_nMinCylinder = c;
    if (speed <= m_nMin)
        m_nMin = speed;
    m_nSum += speed;
    ++m_nCount;
    const uint32_t seconds = (m_env.TickCount() - m_nStartTick) / 1000;

    {
        std::lock_guard lock(m_doc.m_lock);
        if (!m_bSelectionRun)
            m_doc.SetModifiedFlag(TRUE);
        m_doc.m_nGraphMax = graphMax;
        auto& stats = m_doc.m_stats;
        stats[3].store(m_nAccess);
        stats[4].store(m_nBurst);
        stats[5].store(m_nMax);
        stats[6].store(m_nMin);
        stats[7].store(m_nMinCylinder);
        stats[8].store(static_cast<uint32_t>(m_nSum / static_cast<uint64_t>(m_nCount)));
        stats[11].store(static_cast<uint32_t>(m_nCount));
        stats[10].store(c);
        stats[9].store(speed);
        stats[12].store(seconds);
    }

    m_doc.NotifyViews(1, 0);
    // In 64 bits, so that a range of more than 42 million cylinders cannot wrap.
    const uint64_t range = m_nEnd > m_nStart ? m_nEnd - m_nStart : 1;
    Progress(static_cast<uintptr_t>(uint64_t{c - m_nStart} * 100 / range),
             static_cast<intptr_t>(res::IDS_PHASE_LINEAR_READ));
    m_env.Sleep(10);

    if (gone)
    {
        // The cylinder the drive went away in is stored with its error, and the run ends
        // instead of failing every cylinder after it.
        DriveGone();
        *pCancel = true;
        return;
    }
    if (!ok && m_bShowErrors)
    {
        const int answer = AskReadError();
        if (answer == fw::kIdNo)
            m_bShowErrors = false;
        else if (answer == fw::kIdCancel)
            *pCancel = true;
    }
}

void CTestRun::EndSequence()
{
    // Recorded before the end message, so that its handler finds the outcome final.
    m_doc.SetLastRun(m_outcome);
    try
    {
        m_doc.SendToFrame(UM_TEST_END, 0, 0);
    }
    catch (...)
    {
        fw::TraceCurrentException("Ending the test run");
    }
    m_track.Reset();
    m_env.SetNormalPriorityClass();
    try
    {
        m_doc.SendToFrame(WM_CANCELMODE, 0, 0);
    }
    catch (...)
    {
        fw::TraceCurrentException("Ending the test run");
    }
}
