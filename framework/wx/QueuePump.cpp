// The UI queue's wake handler on the wx event loop.
#include "framework/wx/QueuePump.h"

#include "framework/MessageQueue.h"
#include "framework/Trace.h"

#include <exception>
#include <wx/app.h>

CWxQueuePump::CWxQueuePump(fw::CMessageQueue& queue) : m_pState(std::make_shared<SState>())
{
    m_pState->pQueue = &queue;
    std::weak_ptr<SState> weak = m_pState;
    queue.SetWakeHandler([weak] {
        std::shared_ptr<SState> state = weak.lock();
        if (!state || !wxTheApp)
            return;
        // One scheduled pump serves every item that arrives before it runs.
        if (state->bScheduled.exchange(true))
            return;
        wxTheApp->CallAfter([state] {
            state->bScheduled = false;
            if (state->bAlive)
                Pump(*state);
        });
    });
}

CWxQueuePump::~CWxQueuePump()
{
    m_pState->bAlive = false;
    m_pState->pQueue->SetWakeHandler(nullptr);
}

void CWxQueuePump::PumpNow()
{
    Pump(*m_pState);
}

void CWxQueuePump::Pump(SState& state)
{
    // An item's failure must neither end the event loop nor strand the items behind it.
    for (int round = 0; round < 1000; ++round)
    {
        try
        {
            state.pQueue->Pump();
            return;
        }
        catch (...)
        {
            fw::TraceCurrentException("UI queue");
        }
    }
}
