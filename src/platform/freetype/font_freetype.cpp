// The game's bitmap font: fontconfig's face, FreeType's glyphs, OpenGL display lists.

#include "platform/font.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "system/opengl.h"
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

// The characters of the codes 0x80..0x9F in the Windows ANSI code page
// (1252); the rest of 0xA0..0xFF is Latin-1, the same as Unicode, and
// 0x00..0x7F is ASCII. Codes the code page leaves out stay themselves.
static const uint16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

static FT_ULong CharacterOfCode(int code)
{
    if (code >= 0x80 && code <= 0x9F)
        return windows1252High[code - 0x80];
    return static_cast<FT_ULong>(code);
}

// The font file fontconfig offers for face at pixelHeight: the face itself
// or the substitute it picks. False when fontconfig has nothing.
static bool MatchFontFile(const char *face, int pixelHeight, std::vector<char> &file, int &index)
{
    FcPattern *pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelHeight);
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8 *path = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (found) {
        const char *text = reinterpret_cast<const char *>(path);
        file.assign(text, text + std::strlen(text) + 1);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch)
            index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

// Compiles the glyph in the face's slot into the open display list: its
// bitmap at the right offset from the raster position, then the advance.
static void CompileGlyph(const FT_GlyphSlot slot)
{
    const FT_Bitmap &bitmap = slot->bitmap;
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);
    const int rowBytes = (width + 7) / 8;

    // glBitmap wants one bit per pixel, most significant bit first, rows
    // from the bottom up; FreeType gives rows from the top down.
    std::vector<GLubyte> bits(static_cast<size_t>(rowBytes) * rows, 0);
    for (int row = 0; row < rows; ++row) {
        const unsigned char *source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        GLubyte *target = bits.data() + static_cast<size_t>(rows - 1 - row) * rowBytes;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int byte = 0; byte < rowBytes; ++byte)
                target[byte] = source[byte];
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            // Only a font that has no monochrome rendering ends up here
            for (int x = 0; x < width; ++x)
                if (source[x] >= 128)
                    target[x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
        }
    }
    // The bitmap's lower-left corner sits bitmap_left to the right of the
    // raster position and (rows - bitmap_top) below the baseline.
    const GLfloat xOrigin = static_cast<GLfloat>(-slot->bitmap_left);
    const GLfloat yOrigin = static_cast<GLfloat>(rows - slot->bitmap_top);
    // Hinted advances are whole pixels, in 26.6 fixed point
    const GLfloat advance = static_cast<GLfloat>(slot->advance.x) / 64.0f;
    glBitmap(width, rows, xOrigin, yOrigin, advance, 0.0f, rows > 0 ? bits.data() : nullptr);
}

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    if (!face || pixelHeight <= 0 || first < 0 || count <= 0 || base == 0)
        return false;

    std::vector<char> file;
    int index = 0;
    if (!MatchFontFile(face, pixelHeight, file, index))
        return false;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    FT_Face font = nullptr;
    if (FT_New_Face(library, file.data(), index, &font) != 0) {
        FT_Done_FreeType(library);
        return false;
    }
    // A Windows font height of -24 asks for 24-pixel characters, the em
    // square, not the taller cell with its internal leading.
    if (FT_Set_Pixel_Sizes(font, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
        FT_Done_Face(font);
        FT_Done_FreeType(library);
        return false;
    }
    FT_Select_Charmap(font, FT_ENCODING_UNICODE);

    // The list keeps the bitmap as unpacked when it was compiled, so the
    // byte alignment only has to hold while compiling.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);

    for (int code = first; code < first + count; ++code) {
        glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
        // A character the font lacks draws its missing-glyph box, as
        // Windows draws its default character; one that cannot be
        // rendered at all stays an empty list.
        const FT_Int32 load = FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME;
        if (FT_Load_Char(font, CharacterOfCode(code), load) == 0)
            CompileGlyph(font->glyph);
        glEndList();
    }

    glPopClientAttrib();
    FT_Done_Face(font);
    FT_Done_FreeType(library);
    return true;
}
