// A canvas that draws nothing and records every call, with fixed text metrics, for tests.
#pragma once

#include "views/Canvas.h"

#include <string>
#include <vector>

struct SCanvasCall
{
    enum EKind
    {
        Fill,
        Line,
        SelectFont,
        TextExtent,
        Text,
    };
    EKind kind = Fill;
    SRect rc;         // Fill; Line: (x1, y1) and (x2, y2) as left/top, right/bottom
    SPen pen;         // Line
    COLORREF clr = 0; // Fill, Text
    int32_t x = 0;    // Text
    int32_t y = 0;
    std::string text; // TextExtent, Text
    SFont font;       // SelectFont
};

class CRecordingCanvas : public ICanvas
{
public:
    // Every character of a text is nCharWidth wide; every text is nTextHeight high.
    explicit CRecordingCanvas(int32_t nCharWidth = 7, int32_t nTextHeight = 14);

    void FillRect(const SRect& rc, COLORREF clr) override;
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen) override;
    SFont SelectFont(const SFont& font) override;
    SSize GetTextExtent(const std::string& text) override;
    void DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr) override;

    const std::vector<SCanvasCall>& Calls() const { return m_calls; }
    // The calls of one kind, in order.
    std::vector<SCanvasCall> Calls(SCanvasCall::EKind kind) const;
    const SFont& CurrentFont() const { return m_font; }
    void Clear() { m_calls.clear(); }

private:
    int32_t m_nCharWidth;
    int32_t m_nTextHeight;
    SFont m_font;
    std::vector<SCanvasCall> m_calls;
};
