// What the splash and About window draws into its picture, and where: toolkit-free, so that
// the window only measures texts and paints.
#pragma once

#include "platform/Types.h"
#include "shell/SplashShape.h"

#include <cstdint>
#include <string>

// How a text of the window looks. face is the font asked for; fallbackFace the installed
// face of the same metrics (or look) used where face is missing.
struct SSplashFont
{
    const char* face;
    const char* fallbackFace;
    int nHeight; // character height in pixels
    bool bBold;
    bool bItalic;
};

struct SSplashText
{
    SSplashFont font;
    COLORREF clrText;
    int nShadowOffset; // the shadow is drawn this far right and down, first
};

inline constexpr COLORREF kSplashShadowColor = RgbColor(100, 100, 100);
inline constexpr int kSplashScale = 2;           // the picture is shown doubled
inline constexpr unsigned kSplashTimerMs = 1000; // the splash closes at the first tick

inline constexpr SSplashText kSplashTitle = {
    {"Times New Roman", "Liberation Serif", 37, true, true}, RgbColor(255, 255, 0), 2};
inline constexpr SSplashText kSplashPlatforms = {
    {"Comic Sans MS", "Comic Neue", 16, false, false}, RgbColor(0, 218, 138), 1};
inline constexpr SSplashText kSplashVersion = {
    {"Arial", "Liberation Sans", 13, true, true}, RgbColor(255, 255, 255), 1};
inline constexpr SSplashText kSplashNotice = kSplashVersion;

inline constexpr uint32_t kStrSplashPlatforms = 10024;
inline constexpr uint32_t kStrSplashVersion = 10040;
inline constexpr uint32_t kStrSplashNotice = 10013;

// Top-left corners of the main texts (shadows add their offset) in the enlarged picture of
// width w and height h, integer divisions throughout.
struct SSplashPositions
{
    int xTitle, yTitle;
    int xPlatforms, yPlatforms;
    int xVersion, yVersion;
    SRegionRect rcNotice; // top-left aligned, broken only at the text's own line feeds
};

// titleHeight is the title's text height, versionWidth the version line's text width.
SSplashPositions SplashPositions(int w, int h, int titleHeight, int versionWidth);

// The version line: string 10040 filled with the file version, or with "" when it cannot
// be read.
std::string SplashVersionLine();
