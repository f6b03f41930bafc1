// The UI queue: sends that wait for the UI thread, posts in order, marshalled message boxes.
#include "framework/MessageQueue.h"
#include "fixtures/RecordingWindows.h"
#include "framework/MessageBox.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace testing_fx;

namespace {

class CAnsweringWindow : public fw::CWnd
{
public:
    using CWnd::CWnd;
    SWindowLog m_log;
    bool m_bThrow = false;

protected:
    intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override
    {
        if (!GetQueue().IsOwnerThread())
            m_log.HandledOffThread = true;
        m_log.Messages.push_back({msg, wParam, lParam});
        if (m_bThrow)
            throw std::runtime_error("handler failed");
        return static_cast<intptr_t>(wParam) * 2;
    }
};

// Pumps until pred or a generous bound; a hang fails the test instead of the suite.
bool PumpFor(fw::CMessageQueue& queue, const std::function<bool()>& pred)
{
    return queue.PumpUntil(pred, 10000);
}

} // namespace

TEST(MessageQueue, SendFromAnotherThreadWaitsForTheUiThreadAndKeepsPostOrder)
{
    fw::CMessageQueue queue;
    CAnsweringWindow window(queue);
    std::atomic<intptr_t> result{0};
    std::atomic<bool> sent{false};

    std::thread worker([&] {
        window.Post(1, 1, 0);
        result = window.Send(2, 21, 0);
        sent = true;
        window.Post(3, 3, 0);
    });
    // Nothing runs until the UI thread pumps: the sender is held.
    while (queue.WaitingCallers() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(sent);
    EXPECT_TRUE(window.m_log.Messages.empty());

    ASSERT_TRUE(PumpFor(queue, [&] { return window.m_log.Messages.size() == 3; }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(window.m_log.Sequence(), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_FALSE(window.m_log.HandledOffThread);
}

TEST(MessageQueue, SendOnTheUiThreadRunsAtOnce)
{
    fw::CMessageQueue queue;
    CAnsweringWindow window(queue);
    EXPECT_EQ(window.Send(7, 5, 0), 10);
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST(MessageQueue, HandlerExceptionReachesTheSender)
{
    fw::CMessageQueue queue;
    CAnsweringWindow window(queue);
    window.m_bThrow = true;
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try
        {
            window.Send(1, 0, 0);
        }
        catch (const std::runtime_error&)
        {
            caught = true;
        }
    });
    ASSERT_TRUE(PumpFor(queue, [&] { return caught.load(); }));
    worker.join();
}

TEST(MessageQueue, DestroyedWindowDropsItsMessagesAndReleasesItsSenders)
{
    fw::CMessageQueue queue;
    auto window = std::make_unique<CAnsweringWindow>(queue);
    CAnsweringWindow other(queue);
    std::atomic<intptr_t> result{-1};
    window->Post(1, 0, 0);
    other.Post(2, 0, 0);
    std::thread worker([&] { result = window->Send(3, 9, 0); });
    while (queue.WaitingCallers() == 0)
        std::this_thread::yield();
    window.reset();
    worker.join();
    EXPECT_EQ(result, 0);
    queue.Pump();
    EXPECT_EQ(other.m_log.Sequence(), (std::vector<uint32_t>{2}));
}

TEST(MessageQueue, DestroyedQueueReleasesWaitingCallers)
{
    auto queue = std::make_unique<fw::CMessageQueue>();
    std::atomic<bool> ran{false};
    std::atomic<int> returned{-1};
    std::thread worker([&] { returned = queue->Call(nullptr, [&] { ran = true; }) ? 1 : 0; });
    while (queue->WaitingCallers() == 0)
        std::this_thread::yield();
    queue.reset();
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(returned, 0);
}

TEST(MessageQueue, WakeHandlerHearsEveryArrivalAndPumpUntilIsBounded)
{
    fw::CMessageQueue queue;
    std::atomic<int> wakes{0};
    queue.SetWakeHandler([&] { ++wakes; });
    std::thread worker([&] {
        queue.Post(nullptr, [] {});
        queue.Call(nullptr, [] {});
    });
    ASSERT_TRUE(PumpFor(queue, [&] { return wakes == 2 && queue.Pending() == 0; }));
    worker.join();
    EXPECT_FALSE(queue.PumpUntil([] { return false; }, 20));
}

TEST(MessageQueue, InvalidateFromAnotherThreadReachesTheViewOnTheUiThread)
{
    fw::CMessageQueue queue;
    CRecordingView view(queue);
    std::thread worker([&] { view.Invalidate(FALSE); });
    worker.join();
    EXPECT_TRUE(view.m_invalidations.empty());
    queue.Pump();
    EXPECT_EQ(view.m_invalidations, (std::vector<BOOL>{FALSE}));
    view.Invalidate(TRUE);
    EXPECT_EQ(view.m_invalidations, (std::vector<BOOL>{FALSE, TRUE}));
}

class MessageBoxMarshalling : public ::testing::Test
{
protected:
    fw::CMessageQueue m_queue;
    CScriptedBoxes m_boxes{&m_queue};
    CMessageBoxScope m_scope{&m_boxes, &m_queue};
};

TEST_F(MessageBoxMarshalling, WorkerQuestionIsShownOnTheUiThreadAndAnswered)
{
    m_boxes.Answer({fw::kIdNo});
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = fw::MessageBox("question?", fw::kMbYesNoCancel, nullptr); });
    ASSERT_TRUE(PumpFor(m_queue, [&] { return answer != 0; }));
    worker.join();
    EXPECT_EQ(answer, fw::kIdNo);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].OnUiThread);
}

TEST_F(MessageBoxMarshalling, PendingBoxIsAnsweredWithoutShowingOnceStopIsSet)
{
    std::atomic<BOOL> stop{0};
    std::atomic<int> question{0}, notice{0};
    std::thread worker([&] {
        question = fw::MessageBox("question?", fw::kMbYesNoCancel | fw::kMbIconHand, &stop);
        notice = fw::MessageBox("notice", fw::kMbOk, &stop);
    });
    while (m_queue.WaitingCallers() == 0)
        std::this_thread::yield();
    stop = 1;
    ASSERT_TRUE(PumpFor(m_queue, [&] { return notice != 0; }));
    worker.join();
    EXPECT_EQ(question, fw::kIdCancel);
    EXPECT_EQ(notice, fw::kIdOk);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(MessageBoxMarshalling, UiThreadAndStringIdBoxesShowDirectly)
{
    EXPECT_EQ(fw::MessageBox(10007u, fw::kMbOk | fw::kMbIconHand), fw::kIdOk);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].Text, "Out of memory!");
    EXPECT_TRUE(m_boxes.Boxes()[0].OnUiThread);
}

TEST(MessageBoxWithoutQueue, ShowsOnTheCallingThread)
{
    CScriptedBoxes boxes;
    CMessageBoxScope scope(&boxes, nullptr);
    std::thread worker([] { fw::MessageBox("from a thread", fw::kMbOk); });
    worker.join();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"from a thread"}));
}

TEST(MessageQueue, PostedItemExceptionReachesThePumpAndLeavesTheRestQueued)
{
    fw::CMessageQueue queue;
    std::vector<int> ran;
    queue.Post(nullptr, [&] { ran.push_back(1); });
    queue.Post(nullptr, [&] { throw std::runtime_error("posted item failed"); });
    queue.Post(nullptr, [&] { ran.push_back(3); });
    EXPECT_THROW(queue.Pump(), std::runtime_error);
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(queue.Pending(), 1u);
    EXPECT_EQ(queue.Pump(), 1u);
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));

    // A call's exception goes to its caller, not to the pump.
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try
        {
            queue.Call(nullptr, [] { throw std::runtime_error("call failed"); });
        }
        catch (const std::runtime_error&)
        {
            caught = true;
        }
    });
    EXPECT_TRUE(PumpFor(queue, [&] { return caught.load(); }));
    worker.join();
}

TEST(MessageQueue, NestedPumpOfAModalDialogServesTheWorker)
{
    // A handler on the UI thread opens a modal dialog, whose loop pumps the same queue; a
    // worker that sends meanwhile is served by that inner loop, in order.
    fw::CMessageQueue queue;
    CAnsweringWindow frame(queue);
    std::vector<std::string> order;
    std::atomic<intptr_t> answer{0};
    std::thread worker;
    queue.Post(nullptr, [&] {
        order.push_back("dialog opens");
        worker = std::thread([&] {
            frame.Post(1, 0, 0);
            answer = frame.Send(2, 21, 0);
        });
        // The dialog's own loop.
        EXPECT_TRUE(queue.PumpUntil([&] { return answer != 0; }, 10000));
        order.push_back("dialog closes");
    });
    queue.Post(nullptr, [&] { order.push_back("after the dialog"); });
    queue.Pump();
    worker.join();
    queue.Pump();
    EXPECT_EQ(answer, 42);
    ASSERT_EQ(frame.m_log.Messages.size(), 2u);
    EXPECT_EQ(frame.m_log.Messages[0].Msg, 1u);
    EXPECT_EQ(frame.m_log.Messages[1].Msg, 2u);
    EXPECT_FALSE(frame.m_log.HandledOffThread);
    // The item queued behind the dialog ran once, inside it: the queue keeps its order.
    EXPECT_EQ(order,
              (std::vector<std::string>{"dialog opens", "after the dialog", "dialog closes"}));
}

TEST(MessageQueue, WakeHandlerRemovedWhileAWorkerIsInsideIt)
{
    // A frame installs a wake handler and removes it when it goes; a worker may be inside the
    // handler at that moment. Removal waits for it, so the frame's state outlives the call.
    fw::CMessageQueue queue;
    struct SFrameState
    {
        std::atomic<bool> alive{true};
        std::atomic<bool> inside{false};
        std::atomic<bool> usedDead{false};
    };
    auto state = std::make_unique<SFrameState>();
    SFrameState* raw = state.get();
    queue.SetWakeHandler([raw] {
        raw->inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (!raw->alive)
            raw->usedDead = true;
    });
    std::thread worker([&] { queue.Post(nullptr, [] {}); });
    while (!raw->inside)
        std::this_thread::yield();
    queue.SetWakeHandler(nullptr);
    EXPECT_FALSE(raw->usedDead);
    raw->alive = false;
    worker.join();
    EXPECT_FALSE(raw->usedDead);
    state.reset();
    queue.Post(nullptr, [] {}); // no handler any more
    EXPECT_EQ(queue.Pump(), 2u);

    // A handler that removes itself does not wait for itself.
    queue.SetWakeHandler([&] { queue.SetWakeHandler(nullptr); });
    std::thread again([&] { queue.Post(nullptr, [] {}); });
    again.join();
    EXPECT_EQ(queue.Pump(), 1u);
}

TEST_F(MessageBoxMarshalling, RequestsCarryTheirStringIdToTheUiThread)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fw::MessageBox(10007u, fw::kMbOk | fw::kMbIconHand);
        fw::MessageBox(
            fw::SMessageBoxRequest{"Reading error ( code=17h )", fw::kMbYesNoCancel, 10008u});
        fw::MessageBox("a text of no entry", fw::kMbOk);
        done = true;
    });
    ASSERT_TRUE(PumpFor(m_queue, [&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(m_boxes.StringIds(), (std::vector<uint32_t>{10007u, 10008u, 0u}));
    EXPECT_EQ(m_boxes.Texts()[0], "Out of memory!");
}

TEST(MessageBoxService, ServiceOfTextsAloneSeesEveryBox)
{
    // A front end written before boxes carried their string id still sees them all.
    struct STextsOnly : fw::IMessageBoxService
    {
        using fw::IMessageBoxService::Show;
        std::vector<std::string> texts;
        int Show(const std::string& text, unsigned) override
        {
            texts.push_back(text);
            return fw::kIdYes;
        }
    } texts;
    CMessageBoxScope scope(&texts, nullptr);
    EXPECT_EQ(fw::MessageBox(10009u, fw::kMbOk), fw::kIdYes);
    EXPECT_EQ(texts.texts, (std::vector<std::string>{"Writing to file error"}));
    // A service that overrides neither answers as a box that is not shown.
    struct SNothing : fw::IMessageBoxService
    {
    } nothing;
    fw::SetMessageBoxService(&nothing);
    EXPECT_EQ(fw::MessageBox("question?", fw::kMbYesNoCancel), fw::kIdCancel);
}
