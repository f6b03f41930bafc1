// The toolbar's pictures: simple shapes on a transparent square, smoothed.
#include "shell/wx/ToolbarImages.h"

#include "engine/Commands.h"
#include "framework/CmdUI.h"

#include <cstring>
#include <memory>
#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/pen.h>

namespace {

constexpr uint32_t kIdExit = 57665;

void Polygon(wxGraphicsContext& gc, std::initializer_list<wxPoint2DDouble> points,
             const wxColour& fill)
{
    wxGraphicsPath path = gc.CreatePath();
    bool first = true;
    for (const wxPoint2DDouble& p : points)
    {
        if (first)
            path.MoveToPoint(p);
        else
            path.AddLineToPoint(p);
        first = false;
    }
    path.CloseSubpath();
    gc.SetBrush(wxBrush(fill));
    gc.SetPen(wxPen(fill.ChangeLightness(60), 1));
    gc.DrawPath(path);
}

void Draw(wxGraphicsContext& gc, uint32_t id, double s)
{
    const double u = s / 24.0; // the pictures are designed on a 24-pixel grid
    auto P = [u](double x, double y) { return wxPoint2DDouble(x * u, y * u); };
    switch (id)
    {
    case ID_START_DIAGNOSTIC:
        Polygon(gc, {P(6, 3), P(20, 12), P(6, 21)}, wxColour(40, 170, 60));
        break;
    case ID_STOP_DIAGNOSTIC:
        Polygon(gc, {P(5, 5), P(19, 5), P(19, 19), P(5, 19)}, wxColour(200, 40, 40));
        break;
    case fw::ID_FILE_SAVE_AS:
        Polygon(gc, {P(3, 3), P(18, 3), P(21, 6), P(21, 21), P(3, 21)}, wxColour(50, 90, 170));
        Polygon(gc, {P(7, 3), P(16, 3), P(16, 9), P(7, 9)}, wxColour(225, 225, 225));
        Polygon(gc, {P(6, 13), P(18, 13), P(18, 21), P(6, 21)}, wxColour(250, 250, 250));
        break;
    case ID_HIGH_PRIORITY:
        Polygon(gc, {P(12, 2), P(21, 12), P(15, 12), P(15, 22), P(9, 22), P(9, 12), P(3, 12)},
                wxColour(235, 140, 20));
        break;
    case ID_FAST_TEST:
        Polygon(gc, {P(3, 5), P(12, 12), P(3, 19)}, wxColour(60, 120, 200));
        Polygon(gc, {P(12, 5), P(21, 12), P(12, 19)}, wxColour(60, 120, 200));
        break;
    case ID_FULL_TEST:
        for (int k = 0; k < 4; ++k)
            Polygon(gc, {P(3 + 5 * k, 4), P(6 + 5 * k, 4), P(6 + 5 * k, 20), P(3 + 5 * k, 20)},
                    wxColour(60, 120, 200));
        break;
    case ID_BURST_TEST:
        Polygon(gc, {P(14, 1), P(5, 14), P(11, 14), P(9, 23), P(19, 9), P(13, 9)},
                wxColour(240, 200, 30));
        break;
    case ID_RANDOM_ACCESS:
        Polygon(gc, {P(3, 3), P(21, 3), P(21, 21), P(3, 21)}, wxColour(245, 245, 245));
        gc.SetBrush(*wxBLACK_BRUSH);
        gc.SetPen(*wxTRANSPARENT_PEN);
        for (const auto& [x, y] : {std::pair{7, 7}, {17, 7}, {12, 12}, {7, 17}, {17, 17}})
            gc.DrawEllipse((x - 2) * u, (y - 2) * u, 4 * u, 4 * u);
        break;
    case kIdExit:
        Polygon(gc, {P(4, 2), P(16, 2), P(16, 22), P(4, 22)}, wxColour(150, 100, 60));
        Polygon(gc, {P(14, 11), P(20, 11), P(20, 8), P(23, 12), P(20, 16), P(20, 13), P(14, 13)},
                wxColour(200, 40, 40));
        break;
    default:
        break;
    }
}

} // namespace

wxBitmap MakeToolImage(uint32_t id, int size)
{
    wxImage image(size, size);
    image.InitAlpha();
    std::memset(image.GetAlpha(), 0, static_cast<size_t>(size) * static_cast<size_t>(size));
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
        if (gc)
        {
            gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
            Draw(*gc, id, size);
        }
    }
    return wxBitmap(image);
}
