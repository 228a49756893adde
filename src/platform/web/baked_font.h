#pragma once

#include <cstdint>

// The score's font for the browser, baked when the game is built by
// tools/bake_font from the face fontconfig matches on the build machine,
// rendered by the same FreeType code as on Linux (freetype/), so the
// glyphs are the same pixels.

struct BakedGlyph {
    bool     present;  // false: the character could not be rendered (empty list)
    uint16_t width;    // bitmap size in pixels
    uint16_t rows;
    float    xOrigin;  // glBitmap's origin and advance, as on Linux
    float    yOrigin;
    float    advance;
    uint32_t offset;   // first byte in bakedFontBits; rows bottom up, each
                       // padded to 4 bytes (OpenGL's default unpack alignment)
};

extern const char          bakedFontFace[];    // the face the game asked for
extern const int           bakedFontHeight;    // its character height, pixels
extern const BakedGlyph    bakedGlyphs[255];   // character codes 0..254
extern const unsigned char bakedFontBits[];
