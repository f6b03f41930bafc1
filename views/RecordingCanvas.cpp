// The recording canvas.
#include "views/RecordingCanvas.h"

CRecordingCanvas::CRecordingCanvas(int32_t nCharWidth, int32_t nTextHeight)
    : m_nCharWidth(nCharWidth), m_nTextHeight(nTextHeight)
{}

void CRecordingCanvas::FillRect(const SRect& rc, COLORREF clr)
{
    SCanvasCall call;
    call.kind = SCanvasCall::Fill;
    call.rc = rc;
    call.clr = clr;
    m_calls.push_back(std::move(call));
}

void CRecordingCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen)
{
    SCanvasCall call;
    call.kind = SCanvasCall::Line;
    call.rc = {x1, y1, x2, y2};
    call.pen = pen;
    m_calls.push_back(std::move(call));
}

SFont CRecordingCanvas::SelectFont(const SFont& font)
{
    SCanvasCall call;
    call.kind = SCanvasCall::SelectFont;
    call.font = font;
    m_calls.push_back(std::move(call));
    SFont previous = m_font;
    m_font = font;
    return previous;
}

SSize CRecordingCanvas::GetTextExtent(const std::string& text)
{
    SCanvasCall call;
    call.kind = SCanvasCall::TextExtent;
    call.text = text;
    m_calls.push_back(std::move(call));
    return {static_cast<int32_t>(text.size()) * m_nCharWidth, m_nTextHeight};
}

void CRecordingCanvas::DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr)
{
    SCanvasCall call;
    call.kind = SCanvasCall::Text;
    call.x = x;
    call.y = y;
    call.text = text;
    call.clr = clr;
    m_calls.push_back(std::move(call));
}

std::vector<SCanvasCall> CRecordingCanvas::Calls(SCanvasCall::EKind kind) const
{
    std::vector<SCanvasCall> out;
    for (const SCanvasCall& call : m_calls)
        if (call.kind == kind)
            out.push_back(call);
    return out;
}
