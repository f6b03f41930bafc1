// One test run on the worker thread: setup, the sub-tests, the linear read test, the end.
#pragma once

#include "engine/RandomSequence.h"
#include "engine/RunEnvironment.h"
#include "engine/RunOutcome.h"

#include <atomic>
#include <cstdint>
#include <string>

class CRatemarkDoc;
class CReadingResult;
class CRunEnvironment;
class IHardDrive;

// The worker thread's entry; pParam is the CRatemarkDoc that started it. Returns 0.
unsigned TestThreadProc(void* pParam);

class CTestRun
{
public:
    explicit CTestRun(CRatemarkDoc& doc);
    ~CTestRun();
    CTestRun(const CTestRun&) = delete;
    CTestRun& operator=(const CTestRun&) = delete;

    // The whole run; the end sequence runs however the run ends.
    void Execute();

private:
    enum class ERead
    {
        Ok,
        Failed,  // the drive reported an error; the run may go on
        Stopped, // a stop was requested: nothing was read
        Gone,    // the read failed and the drive has gone: the run cannot go on
    };

    // One read of the run, made only when no stop has been requested.
    ERead Read(uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count, void* buffer,
               uint32_t* sectorsRead);
    // The drive has gone: says so with its last error (10056) and ends the run as cancelled.
    void DriveGone();

    // False when the run cannot go on (its message has been shown).
    bool Setup();
    // Shows message id and records the run as failed by it.
    void Fail(uint32_t id);
    // Records that the read-error question was answered Cancel about the drive's last error.
    void CancelledByUser();
    void RandomAccessTest();
    void ReadBurstTest();
    void LinearReadTest();
    void MeasureCylinder(uint32_t c, bool* pCancel);
    void EndSequence();

    // Time-critical while the option is set; back to normal after the reads.
    void RaiseIfWanted();
    void LowerIfRaised();
    // The read-error question (10008) about the drive's last failed read: kIdYes, kIdNo or
    // kIdCancel; Cancel without asking once a stop is requested. A Cancel of the user's is
    // recorded as the run's end.
    int AskReadError();
    void Progress(uintptr_t percent, intptr_t phaseId);
    // Whether a stop has been requested; a stop seen ends the run as stopped unless it has
    // already ended otherwise.
    bool StopRequested();

    CRatemarkDoc& m_doc;
    CRunEnvironment& m_env;
    IHardDrive* m_pDrive = nullptr;

    bool m_bFast = false;
    uint32_t m_C = 0, m_H = 0, m_S = 0, m_B = 0;
    CRunPages m_track;
    int64_t m_F = 0;
    uint32_t m_nStart = 0, m_nEnd = 0;
    bool m_bSelectionRun = false;
    CReadingResult* m_pActive = nullptr;
    std::atomic<int32_t>* m_pActiveCount = nullptr;
    uint32_t m_nActiveSlots = 0;
    bool m_bShowErrors = true;
    uint32_t m_nMax = 0;
    uint32_t m_nMin = 0xFFFFFFFF;
    uint32_t m_nMinCylinder = 0xFFFFFFFF;
    uint64_t m_nSum = 0;
    int32_t m_nCount = 0;
    uint32_t m_nStartTick = 0;
    uint32_t m_nAccess = 0xFFFFFFFF;
    uint32_t m_nBurst = 0xFFFFFFFF;
    bool m_bRaised = false;
    CRandomSequence m_random;
    SRunOutcome m_outcome; // m_eEnd is Running until the run knows how it ends
    bool m_bStopSeen = false;
    bool m_bAbandoned = false; // the drive has gone: the run's later steps do not start
};
