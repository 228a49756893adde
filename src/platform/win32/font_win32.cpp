// The game's bitmap font on Windows: a GDI font, made into OpenGL display
// lists by WGL on the current context's device context.

#include "platform/font.h"

#include "system/opengl.h"

#include <windows.h>

// A glyph with no pixels (the space) must still move the raster position
// on. Wine's wglUseFontBitmapsA compiles it as a bitmap with no bits (a
// null pointer), which its OpenGL refuses with GL_OUT_OF_MEMORY, and the
// list is left without its advance: "Score: 0" would print as "Score:0".
// Those lists are made again here as an empty bitmap and the advance; the
// bitmap's pointer is not null, though no bit of it is read.
static void KeepEmptyGlyphsAdvances(HDC deviceContext, int first, int count, unsigned base)
{
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    static const GLubyte noBits = 0;
    bool remade = false;
    for (int code = first; code < first + count; ++code) {
        GLYPHMETRICS metrics;
        const DWORD bytes = GetGlyphOutlineA(deviceContext, static_cast<UINT>(code), GGO_BITMAP,
                                             &metrics, 0, nullptr, &identity);
        if (bytes != 0)
            continue;
        glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
        glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(metrics.gmCellIncX),
                 static_cast<GLfloat>(metrics.gmCellIncY), &noBits);
        glEndList();
        remade = true;
    }
    // The error was raised for lists that are whole now; reading it clears
    // the context's error flag.
    if (remade)
        glGetError();
}

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    if (!face || pixelHeight <= 0 || first < 0 || count <= 0 || base == 0)
        return false;
    // The glyphs go to the device context the current GL context draws on.
    HDC deviceContext = wglGetCurrentDC();
    if (!deviceContext)
        return false;

    // A negative height asks for the character height (the em square),
    // not the taller cell with its internal leading. The game's one font is
    // upright, plain, of normal weight and antialiased; wglUseFontBitmapsA
    // makes monochrome glyphs of it whatever the quality.
    HFONT font = CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face);
    if (!font)
        return false;
    HGDIOBJ previous = SelectObject(deviceContext, font);
    const BOOL made = wglUseFontBitmapsA(deviceContext, static_cast<DWORD>(first),
                                         static_cast<DWORD>(count), base);
    if (made)
        KeepEmptyGlyphsAdvances(deviceContext, first, count, base);
    SelectObject(deviceContext, previous);
    DeleteObject(font);
    return made != FALSE;
}
