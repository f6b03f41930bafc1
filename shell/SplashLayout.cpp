// Positions and texts of the splash and About window.
#include "shell/SplashLayout.h"

#include "framework/Format.h"
#include "resources/StringTable.h"
#include "shell/FileVersion.h"

SSplashPositions SplashPositions(int w, int h, int titleHeight, int versionWidth)
{
    SSplashPositions p{};
    p.xTitle = w / 3;
    p.yTitle = titleHeight / 2;
    p.xPlatforms = w / 3;
    p.yPlatforms = h / 4;
    p.xVersion = w / 2 + versionWidth / 2;
    p.yVersion = h / 2;
    p.rcNotice = {w / 4 - 1, 2 * (h / 3) - 1, w, h};
    return p;
}

std::string SplashVersionLine()
{
    std::string version;
    GetFileVersionString(version);
    return fw::FormatText(res::LoadString(kStrSplashVersion), version.c_str());
}
