// The random access test and the read-burst test of a full whole-drive run.
#include "engine/RatemarkDoc.h"
#include "engine/RunEnvironment.h"
#include "engine/TestRun.h"
#include "framework/MessageBox.h"
#include "resources/StringIds.h"

namespace {

constexpr int kRandomReads = 300;
constexpr uint32_t kBurstBufferBytes = 262144;
constexpr uint32_t kBurstStepBytes = 2048;
constexpr int kBurstSteps = 128;
constexpr intptr_t kRandomPhase = res::IDS_PHASE_RANDOM_ACCESS;
constexpr intptr_t kBurstPhase = res::IDS_PHASE_READ_BURST;

// ⌊⌊sumTicks / good⌋ × 10 000 / F⌋ in 0.1 ms.
uint32_t AccessOf(int64_t sumTicks, int32_t good, int64_t frequency)
{
    const int64_t perRead = sumTicks / good;
    const int64_t scaled = static_cast<int64_t>(static_cast<uint64_t>(perRead) * 10000u);
    return static_cast<uint32_t>(scaled / frequency);
}

// ⌊⌊⌊total × F × 10 / 1024⌋ / 1024⌋ / ticks⌋ in 0.1 MB/s.
uint32_t BurstOf(uint32_t total, int64_t frequency, int64_t ticks)
{
    const int64_t scaled =
        static_cast<int64_t>(uint64_t{total} * static_cast<uint64_t>(frequency) * 10u);
    return static_cast<uint32_t>(scaled / 1024 / 1024 / ticks);
}

// ⌊r × n / 32 767⌋ in 64 bits: every coordinate of a large drive can be drawn.
uint32_t Scale(int r, uint32_t n)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(r) * n / CRandomSequence::kMax);
}

} // namespace

void CTestRun::RandomAccessTest()
{
    RaiseIfWanted();
    m_nAccess = 0;
    int64_t sumTicks = 0;
    int32_t good = 0;

    for (int i = 0; i < kRandomReads; ++i)
    {
        const int r1 = m_random.Next();
        const int r2 = m_random.Next();
        const int r3 = m_random.Next();
        const uint32_t cylinder = Scale(r1, m_C);
        const uint32_t head = Scale(r2, m_H);
        const uint32_t sector = Scale(r3, m_S);

        m_pDrive->ResetReadTime();
        uint32_t n = 0;
        const ERead read = Read(cylinder, head, sector, 1, m_track.Get(), &n);
        if (read == ERead::Stopped)
            break;
        if (read == ERead::Ok)
        {
            ++good;
            sumTicks += m_pDrive->GetReadTime();
        }
        else if (read == ERead::Gone)
        {
            DriveGone();
            break;
        }
        else if (m_bShowErrors)
        {
            LowerIfRaised();
            const int answer = AskReadError();
            if (answer == fw::kIdCancel)
            {
                m_doc.m_bStop = 1;
                break;
            }
            if (answer == fw::kIdNo)
                m_bShowErrors = false;
            RaiseIfWanted();
        }

        if (StopRequested())
            break;

        if (i % 10 == 0 && good > 0)
        {
            m_nAccess = AccessOf(sumTicks, good, m_F);
            m_doc.m_stats[3].exchange(m_nAccess);
            m_doc.NotifyViews(1, 0);
            Progress(static_cast<uintptr_t>(i * 100 / kRandomReads), kRandomPhase);
        }
    }

    if (good > 0)
        m_nAccess = AccessOf(sumTicks, good, m_F);
    LowerIfRaised();
}

void CTestRun::ReadBurstTest()
{
    RaiseIfWanted();
    m_nBurst = 0;
    // Owned, so that a box that throws cannot leak it.
    CRunPages buffer(m_env, kBurstBufferBytes);
    if (!buffer)
    {
        LowerIfRaised();
        fw::MessageBox(res::IDS_OUT_OF_MEMORY, fw::kMbOk | fw::kMbIconHand);
        return;
    }

    bool stopped = false;
    for (int f = 1; f <= kBurstSteps && m_B != 0; ++f)
    {
        if (StopRequested())
        {
            stopped = true;
            break;
        }
        const uint32_t wanted = static_cast<uint32_t>(f) * kBurstStepBytes;
        const uint32_t count = wanted / m_B;
        // On a drive whose sectors are larger than the transfer there is nothing to read;
        // the rate counts only the bytes of whole sectors actually asked for.
        if (count == 0)
            continue;
        const uint32_t reps = wanted < 32768 ? 32 : 1;
        const uint32_t total = reps * count * m_B;

        int64_t passTicks = 0;
        ERead failure = ERead::Ok;
        for (int pass = 0; pass < 2 && failure == ERead::Ok; ++pass)
        {
            const uint32_t transfers = pass == 0 ? (reps == 32 ? 4 : 1) : reps;
            passTicks = 0;
            for (uint32_t t = 0; t < transfers; ++t)
            {
                m_pDrive->ResetReadTime();
                uint32_t n = 0;
                const ERead read = Read(0, 0, 0, count, buffer.Get(), &n);
                passTicks += m_pDrive->GetReadTime();
                if (read != ERead::Ok)
                {
                    failure = read;
                    break;
                }
            }
        }
        if (failure == ERead::Stopped)
        {
            stopped = true;
            break;
        }
        if (failure == ERead::Gone)
        {
            DriveGone();
            break;
        }
        if (failure == ERead::Failed)
        {
            fw::MessageBox(res::IDS_BURST_READ_ERROR, fw::kMbOk | fw::kMbIconHand);
            break;
        }

        if (passTicks <= 0)
            passTicks = 1;
        const uint32_t v = BurstOf(total, m_F, passTicks);
        if (v >= m_nBurst)
            m_nBurst = v;
        m_doc.m_stats[4].exchange(m_nBurst);
        m_doc.NotifyViews(1, 0);
        Progress(static_cast<uintptr_t>(f * 100 / kBurstSteps), kBurstPhase);
    }

    buffer.Reset();
    LowerIfRaised();
    if (stopped)
    {
        // A burst speed of only the sizes reached before the stop would be no burst speed.
        m_nBurst = 0xFFFFFFFF;
        m_doc.m_stats[4].exchange(CRatemarkDoc::kNoValue);
        m_doc.NotifyViews(1, 0);
    }
}
