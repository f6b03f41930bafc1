// The row-run scan of the splash picture.
#include "shell/SplashShape.h"

#include <new>

std::optional<SRegionData> ScanNonBlackRuns(const uint8_t* pixels, int width, int height,
                                            size_t stride)
{
    try
    {
        SRegionData region{{0, 0, width, height}, {}};
        for (int y = 0; y < height; ++y)
        {
            const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
            int start = -1;
            for (int x = 0; x < width; ++x)
            {
                const uint8_t* p = row + static_cast<size_t>(x) * 3;
                const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
                if (!black && start < 0)
                    start = x;
                else if (black && start >= 0)
                {
                    region.rects.push_back({start, y, x, y + 1});
                    start = -1;
                }
            }
            if (start >= 0)
                region.rects.push_back({start, y, width, y + 1});
        }
        return region;
    }
    catch (const std::bad_alloc&)
    {
        return std::nullopt;
    }
}
