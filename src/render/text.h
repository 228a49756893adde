#pragma once

#include "system/opengl.h"

// The score's text: bitmap glyphs in display lists, drawn over the scene.

// First of the font's 256 display lists; 0 when none could be made.
extern GLuint fontListBase;

// 256 display lists of bitmap glyphs for codes 0..254 (the last list stays
// empty); height is a Windows font height, negative for character height.
// Returns the first list, 0 when no lists could be had.
GLuint CreateTextFont(const char *face, int height, int quality, int weight, bool italic,
                      bool underline, bool strikeOut);

// printf-style text at (x, y) in a 640 x 480 overlay with its origin at the
// lower left, in the current colour. Depth test, lighting and the matrix
// mode are restored afterwards. Text longer than 259 bytes is cut.
void PrintText(GLuint listBase, float x, float y, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
