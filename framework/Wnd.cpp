// Windows of the core.
#include "framework/Wnd.h"

#include "framework/Document.h"
#include "framework/MessageQueue.h"

namespace fw {

CWnd::CWnd(CMessageQueue& queue) : m_queue(queue) {}

CWnd::~CWnd()
{
    m_queue.Forget(this);
}

intptr_t CWnd::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    intptr_t result = 0;
    m_queue.Call(this, [&] { result = WindowProc(msg, wParam, lParam); });
    return result;
}

void CWnd::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    m_queue.Post(this, [this, msg, wParam, lParam] { WindowProc(msg, wParam, lParam); });
}

void CWnd::Invalidate(BOOL bErase)
{
    if (m_queue.IsOwnerThread())
        OnInvalidate(bErase);
    else
        m_queue.Post(this, [this, bErase] { OnInvalidate(bErase); });
}

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

void CView::OnUpdate(CView*, intptr_t)
{
    Invalidate(TRUE);
}

void CView::OnInitialUpdate()
{
    OnUpdate(nullptr, 0);
}

} // namespace fw
