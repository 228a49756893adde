#pragma once

// Where the picture goes in a drawable of any shape. The playfield is 4:3,
// as the game was made at 800 x 600; a drawable of another shape (a
// full-screen surface at the output's own size, a resized window, a
// window larger than the screen's mode) shows all of it and nothing more,
// as large as it fits, centred, with black bars on the other two sides.
// Showing more of the plane instead would show the playfield's wrapping
// seams, where rocks vanish and reappear.

struct PictureRect {
    int x, y;          // lower-left corner in the drawable, pixels (GL's origin)
    int width, height; // pixels
};

// The playfield's shape, width over height.
constexpr double kPictureAspect = 800.0 / 600.0;

// The largest centred 4:3 rectangle in a drawable of width x height pixels;
// a 4:3 drawable is used whole. Sizes below zero count as zero.
PictureRect FitPicture(int width, int height);
