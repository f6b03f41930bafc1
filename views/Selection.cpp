// The selection outline: four dashed lines sharing one phase, plain or exclusive-or.
#include "views/Selection.h"

#include "views/DashedLine.h"

CSelection::CSelection(ISelectionOwner* pOwner) : m_pOwner(pOwner) {}

CSelection::~CSelection()
{
    Hide();
}

void CSelection::Show(const SRect& rect)
{
    if (m_bShown)
        Hide();
    // Wraps instead of overflowing; the pattern only looks at the phase modulo 8.
    m_nPhase = static_cast<int32_t>(static_cast<uint32_t>(m_nPhase) + 1u);
    m_rect = rect;
    DrawOutline();
    m_bShown = 1;
}

void CSelection::Hide()
{
    if (!m_bShown)
        return;
    DrawOutline();
    m_bShown = 0;
}

void CSelection::Tick()
{
    Show(m_rect);
}

void CSelection::DrawOutline()
{
    IPixelSink* pSink = m_pOwner ? m_pOwner->GetOutlineSink() : nullptr;
    if (!pSink)
        return;
    CPixelDC dc(*pSink, m_bSettled ? EPixelMode::Plain : EPixelMode::Xor);
    // One phase for the four lines: the pattern runs on around each corner. Each line
    // includes both its end points, so every corner pixel is set twice, with two phase
    // steps.
    int32_t p = m_nPhase;
    dc.MoveTo(m_rect.left, m_rect.top);
    DrawDashedLine(&dc, m_rect.right, m_rect.top, kDash, kGap, p, kDashColor, kGapColor);
    DrawDashedLine(&dc, m_rect.right, m_rect.bottom, kDash, kGap, p, kDashColor, kGapColor);
    dc.MoveTo(m_rect.left, m_rect.top);
    DrawDashedLine(&dc, m_rect.left, m_rect.bottom, kDash, kGap, p, kDashColor, kGapColor);
    DrawDashedLine(&dc, m_rect.right, m_rect.bottom, kDash, kGap, p, kDashColor, kGapColor);
    m_pOwner->ReleaseOutlineSink(pSink);
}
