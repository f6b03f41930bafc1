// Draws Ratemark's artwork: the splash picture (254 × 166, 24-bit, black where the window has
// holes) as a C++ source for the resources, and the program's icon as PNG files.
//
//     ratemark-draw-artwork OUTPUT_FOLDER
//
// writes SplashPicture.cpp, splash.bmp and splash.png (to look at) and ratemark-<size>.png for the
// icon sizes.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSplashWidth = 254;
constexpr int kSplashHeight = 166;
constexpr double kPi = 3.14159265358979323846;

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void Rgb(cairo_t* cr, int r, int g, int b, double a = 1.0)
{
    cairo_set_source_rgba(cr, r / 255.0, g / 255.0, b / 255.0, a);
}

// A disk platter at (cx, cy) of radius r: brushed metal with its tracks, the hub, and a
// spindle hole of pure black when hole is set.
void Platter(cairo_t* cr, double cx, double cy, double r, bool hole)
{
    cairo_pattern_t* metal = cairo_pattern_create_radial(cx - r / 3, cy - r / 3, r / 8, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(metal, 0, 0.93, 0.94, 0.96);
    cairo_pattern_add_color_stop_rgb(metal, 0.6, 0.70, 0.73, 0.78);
    cairo_pattern_add_color_stop_rgb(metal, 1, 0.45, 0.48, 0.55);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, metal);
    cairo_fill(cr);
    cairo_pattern_destroy(metal);

    // The tracks: faint rings, the outer ones in the colours of the speed zones.
    cairo_set_line_width(cr, r / 60);
    for (double t = r * 0.30; t < r * 0.97; t += r / 11)
    {
        Rgb(cr, 70, 80, 100, 0.35);
        cairo_arc(cr, cx, cy, t, 0, 2 * kPi);
        cairo_stroke(cr);
    }
    // A light reflex across the surface.
    cairo_set_line_width(cr, r / 7);
    Rgb(cr, 255, 255, 255, 0.25);
    cairo_arc(cr, cx, cy, r * 0.68, -2.4, -1.5);
    cairo_stroke(cr);

    // The rim.
    cairo_set_line_width(cr, r / 28);
    Rgb(cr, 60, 66, 80);
    cairo_arc(cr, cx, cy, r - r / 56, 0, 2 * kPi);
    cairo_stroke(cr);

    // The hub.
    Rgb(cr, 150, 156, 170);
    cairo_arc(cr, cx, cy, r * 0.24, 0, 2 * kPi);
    cairo_fill(cr);
    Rgb(cr, 205, 210, 220);
    cairo_arc(cr, cx, cy, r * 0.18, 0, 2 * kPi);
    cairo_fill(cr);
    if (hole)
    {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_arc(cr, cx, cy, r * 0.1, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    }
}

// The read arm: from its pivot to its head over the platter.
void Arm(cairo_t* cr, double px, double py, double hx, double hy, double width)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, width);
    Rgb(cr, 120, 92, 30);
    cairo_move_to(cr, px, py);
    cairo_line_to(cr, hx, hy);
    cairo_stroke(cr);
    cairo_set_line_width(cr, width * 0.55);
    Rgb(cr, 235, 190, 70);
    cairo_move_to(cr, px, py);
    cairo_line_to(cr, hx, hy);
    cairo_stroke(cr);
    Rgb(cr, 90, 96, 110);
    cairo_arc(cr, px, py, width * 1.4, 0, 2 * kPi);
    cairo_fill(cr);
    Rgb(cr, 200, 205, 215);
    cairo_arc(cr, px, py, width * 0.7, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A speed curve as the graph draws one: high at the outer tracks, falling towards the inner
// ones, with a little noise and one slow spot.
void SpeedCurve(cairo_t* cr, double x0, double y0, double x1, double y1, double width, double noise)
{
    const int n = noise < 0.5 ? 30 : 90;
    cairo_move_to(cr, x0, y0);
    for (int i = 0; i <= n; ++i)
    {
        const double f = static_cast<double>(i) / n;
        double drop = 0.55 * f + 0.45 * f * f;
        drop += noise * (0.035 * std::sin(i * 1.7) + 0.02 * std::sin(i * 4.3));
        if (std::abs(f - 0.65) < 0.03)
            drop += 0.25;
        cairo_line_to(cr, x0 + (x1 - x0) * f, y0 + (y1 - y0) * drop);
    }
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void DrawSplash(cairo_t* cr)
{
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);

    // The panel the texts stand on.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 6, 0, 160);
    cairo_pattern_add_color_stop_rgb(sky, 0, 30 / 255.0, 58 / 255.0, 128 / 255.0);
    cairo_pattern_add_color_stop_rgb(sky, 1, 10 / 255.0, 20 / 255.0, 62 / 255.0);
    RoundedRect(cr, 26, 6, 224, 154, 16);
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    cairo_set_line_width(cr, 1.5);
    Rgb(cr, 110, 160, 235);
    cairo_stroke(cr);

    // A faint graph behind the texts: grid and a measured curve.
    cairo_save(cr);
    RoundedRect(cr, 27, 7, 222, 152, 15);
    cairo_clip(cr);
    cairo_set_line_width(cr, 0.6);
    Rgb(cr, 60, 95, 170, 0.45);
    for (double x = 96; x < 248; x += 19)
    {
        cairo_move_to(cr, x, 52);
        cairo_line_to(cr, x, 156);
    }
    for (double y = 60; y < 158; y += 16)
    {
        cairo_move_to(cr, 90, y);
        cairo_line_to(cr, 248, y);
    }
    cairo_stroke(cr);
    Rgb(cr, 40, 170, 120, 0.55);
    SpeedCurve(cr, 90, 62, 246, 150, 1.6, 1.0);
    cairo_restore(cr);

    // The platter stands out of the panel on the left, the arm reaching in from below.
    Platter(cr, 46, 68, 38, true);
    Arm(cr, 30, 140, 60, 84, 4.2);
}

void DrawIcon(cairo_t* cr, int size)
{
    const double s = size / 256.0;
    cairo_scale(cr, s, s);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 8, 0, 248);
    cairo_pattern_add_color_stop_rgb(sky, 0, 34 / 255.0, 66 / 255.0, 140 / 255.0);
    cairo_pattern_add_color_stop_rgb(sky, 1, 10 / 255.0, 22 / 255.0, 66 / 255.0);
    RoundedRect(cr, 8, 8, 240, 240, 44);
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    cairo_set_line_width(cr, 5);
    Rgb(cr, 110, 160, 235);
    cairo_stroke(cr);

    Platter(cr, 118, 118, 92, false);
    Arm(cr, 214, 214, 150, 104, 13);
    Rgb(cr, 60, 230, 140);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SpeedCurve(cr, 24, 150, 232, 226, 11, 0.3);
}

bool WriteBmp(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h)
{
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t imageSize = static_cast<uint32_t>(stride * h);
    std::vector<uint8_t> file(54 + imageSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    file[26] = 1;
    file[28] = 24;
    put32(34, imageSize);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            uint8_t* q = &file[54 + static_cast<size_t>(h - 1 - y) * stride + x * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

bool WriteSource(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h)
{
    std::ofstream out(path);
    out << "// Generated by resources/artwork/DrawArtwork.cpp: the splash picture.\n"
           "#include \"resources/Bitmaps.h\"\n\nnamespace res {\nnamespace {\n\n"
           "const uint8_t kSplashBits[] = {";
    for (size_t i = 0; i < rgb.size(); ++i)
        out << (i % 24 == 0 ? "\n    " : " ") << static_cast<unsigned>(rgb[i]) << ",";
    out << "\n};\n\nconst SBitmap kSplash = {" << w << ", " << h
        << ", kSplashBits};\n\n} // namespace\n\n"
           "const SBitmap* FindBitmap(uint32_t id)\n{\n"
           "    return id == kBitmapSplash ? &kSplash : nullptr;\n}\n\n} // namespace res\n";
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    cairo_surface_t* splash =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSplashWidth, kSplashHeight);
    cairo_t* cr = cairo_create(splash);
    DrawSplash(cr);
    cairo_destroy(cr);
    cairo_surface_flush(splash);
    ok = cairo_surface_write_to_png(splash, (dir + "/splash.png").c_str()) == CAIRO_STATUS_SUCCESS;
    const unsigned char* data = cairo_image_surface_get_data(splash);
    const int stride = cairo_image_surface_get_stride(splash);
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(kSplashWidth) * kSplashHeight * 3);
    for (int y = 0; y < kSplashHeight; ++y)
    {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < kSplashWidth; ++x)
        {
            rgb.push_back(static_cast<uint8_t>(row[x] >> 16));
            rgb.push_back(static_cast<uint8_t>(row[x] >> 8));
            rgb.push_back(static_cast<uint8_t>(row[x]));
        }
    }
    cairo_surface_destroy(splash);
    ok = WriteSource(dir + "/SplashPicture.cpp", rgb, kSplashWidth, kSplashHeight) && ok;
    ok = WriteBmp(dir + "/splash.bmp", rgb, kSplashWidth, kSplashHeight) && ok;

    for (int size : {48, 64, 128, 256})
    {
        cairo_surface_t* icon = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* ic = cairo_create(icon);
        DrawIcon(ic, size);
        cairo_destroy(ic);
        const std::string file = dir + "/ratemark-" + std::to_string(size) + ".png";
        ok = cairo_surface_write_to_png(icon, file.c_str()) == CAIRO_STATUS_SUCCESS && ok;
        cairo_surface_destroy(icon);
    }
    cairo_debug_reset_static_data();
    if (!ok)
        std::fprintf(stderr, "%s: cannot write the artwork into %s\n", argv[0], dir.c_str());
    return ok ? 0 : 1;
}
