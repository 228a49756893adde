#include "render/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/font.h"

GLuint fontListBase = 0;

GLuint CreateTextFont(const char *face, int height, int quality, int weight, bool italic,
                      bool underline, bool strikeOut)
{
    // The glyphs are monochrome at normal weight, upright and plain, so
    // quality, weight and the three styles change nothing here.
    (void)quality, (void)weight, (void)italic, (void)underline, (void)strikeOut;

    const GLuint base = glGenLists(256);
    if (base == 0)
        return 0;
    // Codes 0..254: the list for 255 stays empty and draws nothing. The
    // lists are the font even when no glyphs could be loaded into them:
    // the score then prints nothing, and the game goes on, so the result
    // is not looked at.
    const int pixelHeight = height < 0 ? -height : height;
    Font_BuildBitmapLists(face, pixelHeight, 0, 255, base);
    return base;
}

void PrintText(GLuint listBase, float x, float y, const char *format, ...)
{
    // vsnprintf cuts a text that does not fit; the buffer keeps its zero.
    char text[260];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);

    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);

    // 639 x 479, not 640 x 480: the overlay's units are stretched over the
    // whole viewport, the glyphs keep their pixel size.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 639, 0, 479, 1, -1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // The raster position takes the current colour, with lighting off.
    glRasterPos2f(x, y);
    glPushAttrib(GL_LIST_BIT);
    glListBase(listBase);
    glCallLists(static_cast<GLsizei>(strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();

    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    if (lighting)
        glEnable(GL_LIGHTING);
    glMatrixMode(static_cast<GLenum>(matrixMode));
}
