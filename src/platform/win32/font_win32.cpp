// The game's bitmap font on Windows: a GDI font, made into OpenGL display
// lists by WGL on the current context's device context.

#include "platform/font.h"

#include <windows.h>

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
    SelectObject(deviceContext, previous);
    DeleteObject(font);
    return made != FALSE;
}
