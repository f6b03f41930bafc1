// Windows of the core: message targets whose handlers run on the UI thread of their queue.
#pragma once

#include "framework/Messages.h"
#include "platform/Types.h"

#include <cstdint>

namespace fw {

class CMessageQueue;
class CDocument;

// A window: Send and Post reach WindowProc on the queue's owner thread, whichever thread
// they come from; a repaint request (Invalidate) is marshalled the same way.
class CWnd : public virtual IMessageTarget
{
public:
    explicit CWnd(CMessageQueue& queue);
    // Drops what is still queued for this window; senders waiting on it get 0.
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    intptr_t Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

    // Asks for the whole window to be repainted, with or without background erase.
    void Invalidate(BOOL bErase = TRUE);

    CMessageQueue& GetQueue() const { return m_queue; }

protected:
    // The window's message handler; runs on the UI thread.
    virtual intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    // The repaint request on the UI thread; a toolkit window schedules its paint here.
    virtual void OnInvalidate(BOOL /*bErase*/) {}

private:
    CMessageQueue& m_queue;
};

// A view of a document.
class CView : public CWnd
{
public:
    explicit CView(CMessageQueue& queue) : CWnd(queue) {}
    // Leaves its document's view list.
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }

    // The document changed: pSender is the view that changed it, or null; the default
    // repaints the whole view.
    virtual void OnUpdate(CView* pSender, intptr_t lHint);
    // First update after the view has been attached; the default is OnUpdate(null, 0).
    virtual void OnInitialUpdate();

protected:
    intptr_t WindowProc(uint32_t, uintptr_t, intptr_t) override { return 0; }

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};

} // namespace fw
