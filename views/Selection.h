// The animated dashed outline of the graph's selected cylinder range.
#pragma once

#include "platform/Types.h"
#include "views/Canvas.h"
#include "views/PixelSink.h"

#include <cstdint>

// The window an outline is drawn on. The outline takes a pixel sink on the window for one
// drawing and gives it back when done, so the window can show the changed pixels at once.
class ISelectionOwner
{
public:
    virtual ~ISelectionOwner() = default;
    // A sink on the window's picture, or null when the window does not exist.
    virtual IPixelSink* GetOutlineSink() = 0;
    // The drawing on the sink from GetOutlineSink is complete.
    virtual void ReleaseOutlineSink(IPixelSink* pSink) = 0;
};

// Dashes of 4 pixels, black, with white gaps of 4, moving one pixel along the outline per
// Show. A settled outline sets its pixels; an outline being dragged inverts them by
// exclusive-or, so drawing it twice with the same phase takes it off again.
class CSelection
{
public:
    static constexpr int32_t kDash = 4;
    static constexpr int32_t kGap = 4;
    static constexpr COLORREF kDashColor = RgbColor(0, 0, 0);
    static constexpr COLORREF kGapColor = RgbColor(255, 255, 255);

    // A settled outline with an empty rectangle, not shown; pOwner may be null (it then
    // never draws).
    explicit CSelection(ISelectionOwner* pOwner);
    // Takes the outline off the window (see Hide).
    virtual ~CSelection();
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;

    void SetSettled(BOOL bSettled) { m_bSettled = bSettled; }
    SRect GetRect() const { return m_rect; }
    // Sets the corners without drawing.
    void SetRect(const SRect& rect) { m_rect = rect; }
    // Hides a shown outline, steps the phase and draws the outline at rect. Its corners are
    // pixels of the outline: right and bottom are included, and left may exceed right.
    void Show(const SRect& rect);
    // Draws a shown outline once more with the same phase: an outline being dragged
    // disappears; a settled one stays as it is until the next repaint.
    void Hide();
    // One step of the animation: Show at the same rectangle.
    void Tick();
    // The picture the outline was drawn on has been replaced by a fresh one without it: the
    // outline counts as not shown, so the next Show draws only at its new place.
    void Discard() { m_bShown = 0; }

    BOOL IsShown() const { return m_bShown; }
    BOOL IsSettled() const { return m_bSettled; }
    int32_t GetPhase() const { return m_nPhase; }

private:
    void DrawOutline();

    SRect m_rect;
    int32_t m_nPhase = 0;
    ISelectionOwner* m_pOwner;
    BOOL m_bShown = 0;
    BOOL m_bSettled = 1;
};
