// The drawing surface the views paint onto, independent of any toolkit.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>

// A rectangle in pixels; right and bottom lie outside it.
struct SRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const SRect&, const SRect&) = default;
};

struct SSize
{
    int32_t cx = 0;
    int32_t cy = 0;

    friend bool operator==(const SSize&, const SSize&) = default;
};

enum class EPenStyle
{
    Solid,
    Dotted,
};

struct SPen
{
    COLORREF clr = 0;
    EPenStyle style = EPenStyle::Solid;
    int32_t width = 1;

    friend bool operator==(const SPen&, const SPen&) = default;
};

// A font request; the canvas picks the nearest face it has.
struct SFont
{
    std::string face;     // empty: the canvas's default face
    int32_t height = 0;   // cell height in pixels; 0 = the default height
    int32_t weight = 400; // 400 normal, 700 bold
    BOOL bFixedPitch = 0; // a fixed-pitch face of the modern family is preferred

    friend bool operator==(const SFont&, const SFont&) = default;
};

class ICanvas
{
public:
    virtual ~ICanvas() = default;

    // Fills rc; an empty or inverted rectangle fills nothing.
    virtual void FillRect(const SRect& rc, COLORREF clr) = 0;
    // A line from (x1, y1) up to, but excluding, (x2, y2).
    virtual void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const SPen& pen) = 0;
    // Makes font the one text is drawn and measured with; returns the font it replaces.
    virtual SFont SelectFont(const SFont& font) = 0;
    // Width and height of text's cell in the selected font.
    virtual SSize GetTextExtent(const std::string& text) = 0;
    // Text with its cell's top-left corner at (x, y), over a transparent background.
    virtual void DrawText(int32_t x, int32_t y, const std::string& text, COLORREF clr) = 0;
};
