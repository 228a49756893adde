#pragma once

// Bitmap glyphs as OpenGL display lists, from the system's fonts.

// Fills display lists base + first .. base + first + count - 1 with the
// glyphs of the font that best matches face at a character height of
// pixelHeight: each list draws its glyph with glBitmap and advances the
// raster position. Needs a current GL context. False when no font could be
// loaded (the lists are left empty).
bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count,
                           unsigned base);
