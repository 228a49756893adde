#include "picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

#include <gtest/gtest.h>

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

Box PictureIn(const Picture &screen)
{
    // Worked out here on its own, not with the game's code it checks
    int width = screen.width, height = screen.height;
    if (width * 3 > height * 4)
        width = (height * 4 + 1) / 3;
    else
        height = (width * 3 + 2) / 4;
    const int left = (screen.width - width) / 2, top = (screen.height - height) / 2;
    return Box{left, top, left + width, top + height};
}

::testing::AssertionResult ShowsFourByThreePicture(const Picture &screen)
{
    const Box picture = PictureIn(screen);
    const Box lit = screen.Extent(Box{0, 0, screen.width, screen.height}, IsLit);
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "on a " << screen.width << "x" << screen.height << " screen the 4:3 picture is "
            << picture.left << ".." << picture.right << " x " << picture.top << ".."
            << picture.bottom << ", what is lit spans " << lit.left << ".." << lit.right
            << " x " << lit.top << ".." << lit.bottom << ": ";
    if (lit.Empty())
        return failure << "nothing lit";
    // The bars are black: a stretched or widened view would light them,
    // and so would a star at the picture's edge if the game did not clip
    // its wide points there
    const int inside = screen.Count(picture, IsLit);
    const int outside = screen.Count(Box{0, 0, screen.width, screen.height}, IsLit) - inside;
    if (outside > 0)
        return failure << outside << " lit pixels outside it";
    // The star field reaches near each of its edges: a picture drawn
    // smaller, or off centre, leaves one side dark
    const int nearX = (picture.right - picture.left) / 16;
    const int nearY = (picture.bottom - picture.top) / 16;
    if (lit.left - picture.left > nearX || picture.right - lit.right > nearX ||
        lit.top - picture.top > nearY || picture.bottom - lit.bottom > nearY)
        return failure << "dark along one of its sides";
    return ::testing::AssertionSuccess();
}

// The corner of the picture that holds the score: "Score: " and up to ten
// digits of 24-pixel glyphs start 3.76 pixels from the left and bottom
// edges of the 800 x 600 picture; a picture of another size scales it.
static Box ScoreCorner(const Picture &screen)
{
    const Box picture = PictureIn(screen);
    const double scale = (picture.bottom - picture.top) / 600.0;
    return Box{picture.left, picture.bottom - static_cast<int>(40 * scale),
               picture.left + static_cast<int>(300 * scale), picture.bottom};
}

Box ScoreTextIn(const Picture &screen)
{
    return screen.Extent(ScoreCorner(screen), IsWhite);
}

::testing::AssertionResult ShowsScoreText(const Picture &screen)
{
    const Box corner = ScoreCorner(screen);
    const double scale = (corner.bottom - corner.top) / 40.0;
    const int white = screen.Count(corner, IsWhite);
    const Box text = screen.Extent(corner, IsWhite);
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << white << " white pixels in the picture's lower left " << corner.right - corner.left
            << " x " << corner.bottom - corner.top << " corner, spanning x " << text.left << ".."
            << text.right << ", y " << text.top << ".." << text.bottom << ": ";
    if (white < 60 * scale * scale)
        return failure << "too few for the score text";
    // "Score: 0" is about 100 pixels wide, capitals about 17 high, standing
    // on a base line 4 pixels above the bottom edge.
    if (text.left - corner.left > 12 * scale || text.right - text.left < 60 * scale)
        return failure << "the text does not start at the left edge or is too narrow";
    if (text.bottom < corner.bottom - 10 * scale || text.bottom - text.top < 10 * scale ||
        text.bottom - text.top > 32 * scale)
        return failure << "the text is not a 24-pixel line at the bottom edge";
    // Glyphs, not a filled block
    const int area = (text.right - text.left) * (text.bottom - text.top);
    if (white * 10 > area * 7)
        return failure << "the white is a filled block, not glyphs";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsSharpScore(const Picture &screen)
{
    const Box corner = ScoreCorner(screen);
    const Box text = screen.Extent(corner, IsWhite);
    int white = 0, blurred = 0;
    for (int y = std::max(text.top - 2, 0); y < std::min(text.bottom + 2, screen.height); ++y)
        for (int x = std::max(text.left - 2, 0); x < std::min(text.right + 2, screen.width); ++x) {
            const Rgb pixel = screen.At(x, y);
            if (IsWhite(pixel)) {
                white += 1;
                continue;
            }
            bool besideWhite = false;
            static constexpr int steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto &[dx, dy] : steps)
                if (x + dx >= 0 && x + dx < screen.width && y + dy >= 0 && y + dy < screen.height)
                    besideWhite = besideWhite || IsWhite(screen.At(x + dx, y + dy));
            // A blurred edge is grey; a rock passing the score is coloured
            blurred += besideWhite && IsLit(pixel) && !IsColoured(pixel) ? 1 : 0;
        }
    // A star may sit beside a glyph; a blurred edge runs all around them
    if (white == 0 || blurred * 20 > white)
        return ::testing::AssertionFailure()
               << "the score's " << white << " white pixels have " << blurred
               << " lit pixels of another colour beside them: blurred";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsColouredRocks(const Picture &screen)
{
    const Box all{0, 0, screen.width, screen.height};
    const int coloured =
        screen.Count(all, IsColoured) - screen.Count(ScoreCorner(screen), IsColoured);
    // Four large rocks cover thousands of pixels; a few coloured stray
    // pixels are not rocks.
    if (coloured < 200)
        return ::testing::AssertionFailure()
               << "only " << coloured << " coloured pixels outside the score's corner";
    return ::testing::AssertionSuccess();
}
