// The splash window's toolkit-free parts: the outline scan over pictures built in the test and
// over the program's own picture, the text positions, and the version lookups.
#include "resources/Bitmaps.h"
#include "resources/VersionInfo.h"
#include "shell/FileVersion.h"
#include "shell/SplashLayout.h"
#include "shell/SplashShape.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Readable rectangles in failure messages.
void PrintTo(const SRegionRect& r, std::ostream* os)
{
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

struct SPixel
{
    uint8_t r, g, b;
};
constexpr SPixel K{0, 0, 0}; // black: a hole
constexpr SPixel N{0, 0, 1}; // the darkest colour that is not black
constexpr SPixel W{255, 255, 255};

// rows of pixels as 24-bit data with padding at each row's end, as a bitmap's rows have.
std::vector<uint8_t> Picture(const std::vector<std::vector<SPixel>>& rows, size_t stride)
{
    std::vector<uint8_t> bits(stride * rows.size(), 0xEE);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
        {
            bits[y * stride + x * 3] = rows[y][x].r;
            bits[y * stride + x * 3 + 1] = rows[y][x].g;
            bits[y * stride + x * 3 + 2] = rows[y][x].b;
        }
    return bits;
}

} // namespace

TEST(SplashShape, RowRunsOfNonBlackPixels)
{
    struct Case
    {
        const char* what;
        std::vector<std::vector<SPixel>> rows;
        std::vector<SRegionRect> expected;
    };
    const Case cases[] = {
        {"black pixels are holes between runs",
         {{W, W, K, W, K}, {K, K, K, K, K}},
         {{0, 0, 2, 1}, {3, 0, 4, 1}}},
        {"RGB 0,0,1 is not black", {{K, N, K, K}, {N, N, N, N}}, {{1, 0, 2, 1}, {0, 1, 4, 2}}},
        {"a run reaching the row's end ends at the width",
         {{K, K, W, N}, {W, K, K, W}},
         {{2, 0, 4, 1}, {0, 1, 1, 2}, {3, 1, 4, 2}}},
        {"an all-black picture has no rectangles", {{K, K}, {K, K}}, {}},
    };
    for (const Case& c : cases)
    {
        const int width = static_cast<int>(c.rows[0].size());
        const int height = static_cast<int>(c.rows.size());
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        const std::vector<uint8_t> bits = Picture(c.rows, stride);
        const auto region = ScanNonBlackRuns(bits.data(), width, height, stride);
        ASSERT_TRUE(region) << c.what;
        EXPECT_EQ(region->rcBound, (SRegionRect{0, 0, width, height})) << c.what;
        EXPECT_EQ(region->rects, c.expected) << c.what;
    }
}

TEST(SplashShape, ProgramPictureOutline)
{
    const res::SBitmap* picture = res::FindBitmap(res::kBitmapSplash);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->nWidth, 254);
    ASSERT_EQ(picture->nHeight, 166);
    const size_t stride = static_cast<size_t>(picture->nWidth) * 3;
    const auto region = ScanNonBlackRuns(picture->pBits, picture->nWidth, picture->nHeight, stride);
    ASSERT_TRUE(region);

    // Every pixel lies in a rectangle exactly when it is not black.
    std::vector<int> covered(static_cast<size_t>(picture->nWidth * picture->nHeight), 0);
    for (const SRegionRect& r : region->rects)
    {
        ASSERT_EQ(r.bottom, r.top + 1);
        for (int x = r.left; x < r.right; ++x)
            ++covered[static_cast<size_t>(r.top * picture->nWidth + x)];
    }
    int holes = 0;
    for (int i = 0; i < picture->nWidth * picture->nHeight; ++i)
    {
        const uint8_t* p = picture->pBits + static_cast<size_t>(i) * 3;
        const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
        ASSERT_EQ(covered[static_cast<size_t>(i)], black ? 0 : 1) << "pixel " << i;
        holes += black;
    }
    // The picture is shaped: its corners and the platter's spindle are holes, and most of it
    // is window.
    auto at = [&](int x, int y) { return covered[static_cast<size_t>(y * picture->nWidth + x)]; };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(253, 165), 0);
    EXPECT_EQ(at(46, 68), 0);
    EXPECT_EQ(at(150, 80), 1);
    EXPECT_GT(holes, 1000);
    EXPECT_LT(holes, 254 * 166 / 3);
}

TEST(SplashLayout, TextPositionsOfTheDoubledPicture)
{
    const SSplashPositions p = SplashPositions(508, 332, 43, 101);
    EXPECT_EQ(p.xTitle, 169);
    EXPECT_EQ(p.yTitle, 21);
    EXPECT_EQ(p.xPlatforms, 169);
    EXPECT_EQ(p.yPlatforms, 83);
    EXPECT_EQ(p.xVersion, 254 + 50);
    EXPECT_EQ(p.yVersion, 166);
    // 2 · (332 / 3) − 1: the third is taken before doubling.
    EXPECT_EQ(p.rcNotice, (SRegionRect{126, 219, 508, 332}));
}

TEST(FileVersion, ProgramRecordGivesTheProjectVersion)
{
    std::string version = "unchanged";
    ASSERT_TRUE(GetFileVersionString(version));
    EXPECT_EQ(version, "3, 0, 1, 0");
    EXPECT_EQ(std::string(res::ProgramVersion()), "3.0.1.0");
    EXPECT_EQ(SplashVersionLine(), "Version 3, 0, 1, 0");

    std::vector<res::SVersionRecord::STranslation> translations;
    ASSERT_TRUE(res::VerQueryTranslations(res::ProgramVersionRecord(), "\\VarFileInfo\\Translation",
                                          translations));
    ASSERT_EQ(translations.size(), 1u);
    EXPECT_EQ(translations[0].wLanguage, 0x0409);
    EXPECT_EQ(translations[0].wCodePage, 0x04B0);
}

TEST(FileVersion, LookupsOverRecords)
{
    res::SVersionRecord two;
    two.translations = {{0x0419, 0x04E3}, {0x0409, 0x04B0}};
    two.strings["041904E3"] = {{"FileVersion", "2, 5, 0, 0"}};
    two.strings["040904B0"] = {{"FileVersion", "9, 9, 9, 9"}};

    res::SVersionRecord noTranslation;
    noTranslation.strings["040904B0"] = {{"FileVersion", "1, 0, 0, 0"}};

    res::SVersionRecord wrongBlock;
    wrongBlock.translations = {{0x0409, 0x04B0}};
    wrongBlock.strings["040904E4"] = {{"FileVersion", "1, 0, 0, 0"}};

    res::SVersionRecord noValue;
    noValue.translations = {{0x0409, 0x04B0}};
    noValue.strings["040904B0"] = {{"ProductVersion", "1, 0, 0, 0"}};

    struct Case
    {
        const char* what;
        const res::SVersionRecord* record;
        BOOL ok;
        const char* version;
    } cases[] = {
        {"the first translation's table is the one read", &two, TRUE, "2, 5, 0, 0"},
        {"no record", nullptr, FALSE, "unchanged"},
        {"no translation", &noTranslation, FALSE, "unchanged"},
        {"no table for the translation", &wrongBlock, FALSE, "unchanged"},
        {"no FileVersion in the table", &noValue, FALSE, "unchanged"},
    };
    for (const Case& c : cases)
    {
        std::string version = "unchanged";
        EXPECT_EQ(GetFileVersionString(c.record, version), c.ok) << c.what;
        EXPECT_EQ(version, c.version) << c.what;
    }

    std::string value;
    EXPECT_TRUE(res::VerQueryString(two, "\\stringfileinfo\\040904b0\\fileversion", value));
    EXPECT_EQ(value, "9, 9, 9, 9");
    EXPECT_FALSE(res::VerQueryString(two, "\\StringFileInfo\\040904B0", value));
}
