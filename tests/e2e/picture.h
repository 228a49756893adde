#pragma once

#include <cstdint>
#include <string>
#include <vector>

// gtest.h comes before Xlib.h in the tests (Xlib defines None and Bool)
namespace testing {
class AssertionResult;
}

struct Rgb {
    uint8_t r, g, b;
};

// Screen pixels from left to right and top to bottom: y grows downwards, as
// on the X screen. right and bottom are exclusive.
struct Box {
    int left, top, right, bottom;
    bool Empty() const { return right <= left || bottom <= top; }
};

// A copy of the screen as the X server shows it.
class Picture {
public:
    int              width = 0;
    int              height = 0;
    std::vector<Rgb> pixels; // row by row from the top

    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // How many pixels of box pass test.
    int Count(const Box &box, bool (*test)(Rgb)) const;
    // The smallest box around the pixels of box that pass test; empty when none does.
    Box Extent(const Box &box, bool (*test)(Rgb)) const;
    // True when both pictures hold the same pixels in box.
    bool SameIn(const Picture &other, const Box &box) const;
    // Binary PPM (P6); false when the file cannot be written.
    bool WritePpm(const std::string &path) const;
};

// The score's colour: glyphs are drawn unlit in (1, 1, 1).
bool IsWhite(Rgb pixel);
// Clearly coloured: only rocks, their debris and the explosion lights are;
// the ship, its shield, bullets and stars are grey.
bool IsColoured(Rgb pixel);
// Anything but the black of the cleared screen.
bool IsLit(Rgb pixel);

// Where the game's picture belongs on the screen: the largest centred 4:3
// box (the whole of an 800 x 600 or 640 x 480 screen).
Box PictureIn(const Picture &screen);
// Nothing is lit outside that box (the bars are black) and the star field
// reaches near each of its sides.
::testing::AssertionResult ShowsFourByThreePicture(const Picture &screen);
// The picture holds the score, white, in its lower left corner, at the
// picture's scale (24-pixel glyphs at 800 x 600).
::testing::AssertionResult ShowsScoreText(const Picture &screen);
// The smallest box around the white of the score's corner (the score's
// text); empty when there is none.
Box ScoreTextIn(const Picture &screen);
// The score's glyphs are sharp: one colour, white, with next to no lit
// pixel of another colour beside them. A picture drawn smaller and enlarged
// by the compositor has a blurred grey edge around every glyph.
::testing::AssertionResult ShowsSharpScore(const Picture &screen);
// Coloured pixels outside the score's corner: rocks are on the screen.
::testing::AssertionResult ShowsColouredRocks(const Picture &screen);
