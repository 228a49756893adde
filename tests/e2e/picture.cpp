#include "picture.h"

#include <algorithm>
#include <cstdio>

// The PPM writer sends the pixels as they lie in memory
static_assert(sizeof(Rgb) == 3);

int Picture::Count(const Box &box, bool (*test)(Rgb)) const
{
    int count = 0;
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, height); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, width); ++x)
            count += test(At(x, y)) ? 1 : 0;
    return count;
}

Box Picture::Extent(const Box &box, bool (*test)(Rgb)) const
{
    Box extent{width, height, 0, 0};
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, height); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, width); ++x)
            if (test(At(x, y))) {
                extent.left = std::min(extent.left, x);
                extent.top = std::min(extent.top, y);
                extent.right = std::max(extent.right, x + 1);
                extent.bottom = std::max(extent.bottom, y + 1);
            }
    return extent;
}

bool Picture::SameIn(const Picture &other, const Box &box) const
{
    if (other.width != width || other.height != height)
        return false;
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, height); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, width); ++x) {
            const Rgb a = At(x, y);
            const Rgb b = other.At(x, y);
            if (a.r != b.r || a.g != b.g || a.b != b.b)
                return false;
        }
    return true;
}

bool Picture::WritePpm(const std::string &path) const
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    const size_t written = std::fwrite(pixels.data(), sizeof(Rgb), pixels.size(), file);
    return std::fclose(file) == 0 && written == pixels.size();
}

bool IsWhite(Rgb pixel)
{
    return pixel.r >= 250 && pixel.g >= 250 && pixel.b >= 250;
}

bool IsColoured(Rgb pixel)
{
    const int high = std::max({pixel.r, pixel.g, pixel.b});
    const int low = std::min({pixel.r, pixel.g, pixel.b});
    // Rock colours have a saturation of at least 0.4 and are dimmed by the
    // lighting; smoothed star points differ by a unit or two at most.
    return high >= 40 && high - low >= 24;
}

bool IsLit(Rgb pixel)
{
    return std::max({pixel.r, pixel.g, pixel.b}) >= 24;
}
