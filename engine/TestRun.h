// One test run on the worker thread: setup, the sub-tests, the linear read test, the end.
#pragma once

#include "engine/RandomSequence.h"

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
    // False when the run cannot go on (its message has been shown).
    bool Setup();
    void RandomAccessTest();
    void ReadBurstTest();
    void LinearReadTest();
    void MeasureCylinder(uint32_t c, bool* pCancel);
    void EndSequence();

    // Time-critical while the option is set; back to normal after the reads.
    void RaiseIfWanted();
    void LowerIfRaised();
    // The read-error question (10008) about the drive's last failed read: kIdYes, kIdNo or
    // kIdCancel; Cancel without asking once a stop is requested.
    int AskReadError();
    void Progress(uintptr_t percent, intptr_t phaseId);
    bool StopRequested() const;

    CRatemarkDoc& m_doc;
    CRunEnvironment& m_env;
    IHardDrive* m_pDrive = nullptr;

    bool m_bFast = false;
    uint32_t m_C = 0, m_H = 0, m_S = 0, m_B = 0;
    uint8_t* m_pTrack = nullptr;
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
};
