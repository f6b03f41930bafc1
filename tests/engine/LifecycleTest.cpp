// The worker's life: closing and destroying the document during a run, and a pending question
// when a stop is requested.
#include "EngineFixture.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace testing_fx;

TEST_F(EngineTest, CloseOrDestroyDuringARunWaitsForTheWorker)
{
    for (bool destroy : {false, true})
    {
        CGate gate;
        m_drive.SetScript([&](const SChsRead& r, size_t) {
            if (r.Cylinder == 5)
                gate.Arrive();
            return SReadOutcome{};
        });
        Bind(GEOMETRY{0, 50, 2, 2, 512});
        const int closes = m_drive.Closes();
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
        // The worker is held inside a read for a while after the close begins: the document
        // must wait for it, serving its messages meanwhile, before it lets anything go.
        std::thread releaser([&] {
            platform::Sleep(200);
            gate.Release();
        });
        if (destroy)
            m_doc.reset();
        else
            m_doc->OnCloseDocument();
        releaser.join();

        EXPECT_FALSE(m_drive.ReadWhileClosed()) << destroy;
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS, UM_SELECTION}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}))
            << destroy;
        if (!destroy)
        {
            EXPECT_EQ(m_drive.Closes(), closes + 1);
            EXPECT_EQ(m_doc->GetResults(), nullptr);
            EXPECT_EQ(m_doc->GetResultCount(), 0);
            EXPECT_TRUE(m_doc->IsIdle());
        }
    }
}

TEST_F(EngineTest, PendingQuestionIsAnsweredCancelWhenAStopIsRequested)
{
    for (bool close : {false, true})
    {
        m_drive.SetScript([](const SChsRead& r, size_t index) {
            return r.Cylinder == 2 && index > 2 ? SReadOutcome{0, 0, 1, 23} : SReadOutcome{};
        });
        CGate gate;
        m_env.m_nSleeps = 0;
        m_env.m_onSleep = [&](int sleeps) {
            if (sleeps == 2)
                gate.Arrive();
        };
        Bind(GEOMETRY{0, 10, 1, 2, 512});
        const size_t boxes = m_boxes.Boxes().size();
        ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
        // Serve the run until the worker pauses after storing cylinder 2, then pump no more:
        // the question it asks next stays pending on the UI queue.
        ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
        m_queue.Pump();
        gate.Release();
        for (int i = 0; i < 20000 && m_queue.WaitingCallers() == 0; ++i)
            platform::Sleep(1);
        ASSERT_EQ(m_queue.WaitingCallers(), 1u) << "the worker did not ask";
        if (close)
        {
            m_doc->OnCloseDocument();
        }
        else
        {
            EXPECT_TRUE(m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC));
            ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
        }
        EXPECT_EQ(m_boxes.Boxes().size(), boxes) << "the question was shown";
        if (!close)
        {
            EXPECT_EQ(Cylinders(Results()), (std::vector<uint32_t>{0, 1, 2}));
            // The user stopped the run; no one answered the question Cancel.
            EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Stopped);
        }
        m_queue.Pump();
        EXPECT_EQ(m_frame.m_log.Sequence({UM_PROGRESS, UM_SELECTION}),
                  (std::vector<uint32_t>{UM_TEST_BEGIN, UM_TEST_END, WM_CANCELMODE}))
            << close;
        m_env.m_onSleep = nullptr;
    }
}

TEST_F(EngineTest, SecondRunStartsAfresh)
{
    m_env.m_nFrequency = 2048;
    int64_t ticks = 409;
    m_drive.SetScript([&](const SChsRead&, size_t) { return SReadOutcome{1, 2, ticks, 0}; });
    Bind(GEOMETRY{0, 4, 1, 2, 512});
    Run();
    EXPECT_EQ(m_doc->GetStat(5), 5u);
    ticks = 682;
    Run();
    EXPECT_EQ(Results().size(), 4u);
    EXPECT_EQ(m_doc->GetStat(5), 3u);
    EXPECT_EQ(m_doc->GetGraphMax(), 3u);
    EXPECT_EQ(m_frame.m_log.Only(UM_TEST_BEGIN).size(), 2u);
}

TEST_F(EngineTest, DestroyedDocumentClosesTheDriveItOpened)
{
    Bind(GEOMETRY{0, 10, 2, 4, 512});
    const int closes = m_drive.Closes();
    m_doc.reset();
    EXPECT_EQ(m_drive.Closes(), closes + 1);

    // Closed once only: a document already cleared has nothing open any more.
    Bind(GEOMETRY{0, 10, 2, 4, 512});
    m_doc->OnCloseDocument();
    const int afterClose = m_drive.Closes();
    m_doc.reset();
    EXPECT_EQ(m_drive.Closes(), afterClose);
}

TEST_F(EngineTest, BoxThatThrowsLeaksNoBuffer)
{
    // A front end whose box fails (no display, say) throws into the worker: the run ends
    // as failed, and every page buffer it had is given back.
    struct SThrowingBoxes : fw::IMessageBoxService
    {
        using fw::IMessageBoxService::Show;
        int Show(const fw::SMessageBoxRequest& request) override
        {
            if (request.m_nStringId == 10055)
                throw std::runtime_error("no display");
            return fw::kIdOk;
        }
    } boxes;
    fw::SetMessageBoxService(&boxes);
    m_drive.SetScript([](const SChsRead& r, size_t) {
        SReadOutcome out;
        out.Ok = r.Count == 8 ? 0 : 1; // the burst test's second size
        return out;
    });
    Bind(GEOMETRY{0, 10, 2, 4, 512}, false, true);
    m_env.m_nAllocs = 0;
    m_env.m_nFrees = 0;
    Run();
    fw::SetMessageBoxService(&m_boxes);
    EXPECT_EQ(m_env.m_nAllocs, 2); // the track buffer and the burst buffer
    EXPECT_EQ(m_env.m_nFrees, 2);
    EXPECT_EQ(m_doc->GetLastRun().m_eEnd, ERunEnd::Failed);
    EXPECT_TRUE(Results().empty());
}
