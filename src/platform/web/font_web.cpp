// The score's font in the browser: the glyphs baked when the game was built
// (baked_font.h), compiled into display lists as on Linux.

#include "platform/font.h"

#include <cstring>

#include "platform/web/baked_font.h"
#include "system/opengl.h"

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    if (!face || pixelHeight <= 0 || first < 0 || count <= 0 || base == 0)
        return false;
    // Only the face and height that were baked are here: any other is a
    // font the page does not have.
    if (std::strcmp(face, bakedFontFace) != 0 || pixelHeight != bakedFontHeight)
        return false;

    // Rows are padded to 4 bytes, OpenGL's default unpack alignment, so no
    // pixel-store state needs changing.
    for (int code = first; code < first + count; ++code) {
        glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
        if (code < 255 && bakedGlyphs[code].present) {
            const BakedGlyph &glyph = bakedGlyphs[code];
            glBitmap(glyph.width, glyph.rows, glyph.xOrigin, glyph.yOrigin, glyph.advance, 0.0f,
                     glyph.rows > 0 ? bakedFontBits + glyph.offset : nullptr);
        }
        glEndList();
    }
    return true;
}
