// The score's font in the browser: the glyphs baked when the game was built
// (baked_font.h), compiled into display lists as on Linux.

#include "platform/font.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/web/baked_font.h"
#include "system/opengl.h"

// Rows padded to 4 bytes, OpenGL's default unpack alignment, so no
// pixel-store state needs changing.
static int RowBytes(int width)
{
    return ((width + 7) / 8 + 3) & ~3;
}

// The baked glyph drawn pixelHeight / bakedFontHeight times as big, each of
// its pixels taken for the nearest ones: the game asks for a taller font
// when its picture is taller than 600 pixels (full screen, a screen of more
// pixels than CSS pixels), and the page has only the baked height.
static void CompileScaledGlyph(const BakedGlyph &glyph, float scale)
{
    const int width = static_cast<int>(std::lround(glyph.width * scale));
    const int rows = static_cast<int>(std::lround(glyph.rows * scale));
    const int sourceRowBytes = RowBytes(glyph.width);
    const int rowBytes = RowBytes(width);
    std::vector<GLubyte> bits(static_cast<size_t>(rowBytes) * (rows > 0 ? rows : 1), 0);
    for (int row = 0; row < rows; ++row) {
        const int sourceRow = static_cast<int>(static_cast<float>(row) / scale);
        const unsigned char *source = bakedFontBits + glyph.offset +
                                      static_cast<size_t>(sourceRow) * sourceRowBytes;
        for (int x = 0; x < width; ++x) {
            const int sourceX = static_cast<int>(static_cast<float>(x) / scale);
            if (sourceX < glyph.width && sourceRow < glyph.rows &&
                (source[sourceX / 8] & (0x80 >> (sourceX % 8))))
                bits[static_cast<size_t>(row) * rowBytes + x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
        }
    }
    // Origins and advances stay whole pixels, as FreeType's hinted ones are.
    glBitmap(width, rows, std::round(glyph.xOrigin * scale), std::round(glyph.yOrigin * scale),
             std::round(glyph.advance * scale), 0.0f, rows > 0 ? bits.data() : nullptr);
}

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    if (!face || pixelHeight <= 0 || first < 0 || count <= 0 || base == 0)
        return false;
    // Only the baked face is here: any other is a font the page lacks.
    if (std::strcmp(face, bakedFontFace) != 0)
        return false;

    const float scale = static_cast<float>(pixelHeight) / static_cast<float>(bakedFontHeight);
    for (int code = first; code < first + count; ++code) {
        glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
        if (code < 255 && bakedGlyphs[code].present) {
            const BakedGlyph &glyph = bakedGlyphs[code];
            // At the baked height, FreeType's own pixels
            if (pixelHeight == bakedFontHeight)
                glBitmap(glyph.width, glyph.rows, glyph.xOrigin, glyph.yOrigin, glyph.advance, 0.0f,
                         glyph.rows > 0 ? bakedFontBits + glyph.offset : nullptr);
            else
                CompileScaledGlyph(glyph, scale);
        }
        glEndList();
    }
    return true;
}
