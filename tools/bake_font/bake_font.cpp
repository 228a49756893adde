// bake-font FACE HEIGHT OUT.cpp: the game's bitmap font for the browser,
// where there is neither fontconfig nor FreeType. It runs the Linux
// backend's own font code (platform/freetype) on the build machine and
// catches the glyphs it hands to OpenGL, then writes them out as the
// tables of platform/web/baked_font.h.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/font.h"
#include "system/opengl.h"

struct CaughtGlyph {
    bool     present = false;
    int      width = 0, rows = 0;
    float    xOrigin = 0, yOrigin = 0, advance = 0;
    std::vector<unsigned char> bits; // rows bottom up, padded to 4 bytes
};

static CaughtGlyph glyphs[255];
static int openList = -1;     // the character code of the list being compiled
static int unpackAlignment = 4;

// [SECTION] The OpenGL calls the font code makes, caught

extern "C" {
void glNewList(GLuint list, GLenum) { openList = static_cast<int>(list) - 1; }
void glEndList() { openList = -1; }
void glPushClientAttrib(GLbitfield) {}
void glPopClientAttrib() { unpackAlignment = 4; }
void glPixelStorei(GLenum name, GLint value)
{
    if (name == GL_UNPACK_ALIGNMENT)
        unpackAlignment = value;
}
void glBitmap(GLsizei width, GLsizei rows, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat, const GLubyte *bitmap)
{
    if (openList < 0 || openList >= 255)
        return;
    CaughtGlyph &glyph = glyphs[openList];
    glyph.present = true;
    glyph.width = width;
    glyph.rows = rows;
    glyph.xOrigin = xOrigin;
    glyph.yOrigin = yOrigin;
    glyph.advance = xMove;
    const int rowBytes = (width + 7) / 8;
    const int sourceStride = (rowBytes + unpackAlignment - 1) / unpackAlignment * unpackAlignment;
    const int targetStride = (rowBytes + 3) / 4 * 4;
    glyph.bits.assign(static_cast<size_t>(targetStride) * rows, 0);
    for (int row = 0; row < rows && bitmap; ++row)
        for (int byte = 0; byte < rowBytes; ++byte)
            glyph.bits[static_cast<size_t>(row) * targetStride + byte] =
                bitmap[static_cast<size_t>(row) * sourceStride + byte];
}
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bake-font FACE HEIGHT OUT.cpp\n");
        return 2;
    }
    const char *face = argv[1];
    const int height = std::atoi(argv[2]);
    // List base 1: list 1 + code holds the glyph of code.
    if (!Font_BuildBitmapLists(face, height, 0, 255, 1)) {
        std::fprintf(stderr, "bake-font: no font for \"%s\" at %d pixels\n", face, height);
        return 1;
    }

    std::string out = "// Made by bake-font when the game was built: the glyphs of \"" +
                      std::string(face) + "\" at " + argv[2] + " pixels.\n" +
                      "#include \"platform/web/baked_font.h\"\n\n" +
                      "const char bakedFontFace[] = \"" + face + "\";\n" +
                      "const int bakedFontHeight = " + argv[2] + ";\n\n" +
                      "const BakedGlyph bakedGlyphs[255] = {\n";
    std::vector<unsigned char> bits;
    char line[160];
    for (const CaughtGlyph &glyph : glyphs) {
        // %a keeps every float exact
        std::snprintf(line, sizeof line, "    {%s, %d, %d, %a, %a, %a, %zu},\n",
                      glyph.present ? "true" : "false", glyph.width, glyph.rows,
                      static_cast<double>(glyph.xOrigin), static_cast<double>(glyph.yOrigin),
                      static_cast<double>(glyph.advance), bits.size());
        out += line;
        bits.insert(bits.end(), glyph.bits.begin(), glyph.bits.end());
    }
    out += "};\n\nconst unsigned char bakedFontBits[] = {";
    for (size_t i = 0; i < bits.size(); ++i) {
        std::snprintf(line, sizeof line, "%s%u,", i % 16 == 0 ? "\n    " : "", bits[i]);
        out += line;
    }
    out += bits.empty() ? "0};\n" : "\n};\n";

    FILE *file = std::fopen(argv[3], "w");
    if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "bake-font: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
