#include "shell/render.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "objects/explosion_light.h"
#include "platform/font.h"
#include "platform/video.h"

GLuint fontListBase = 0;
bool (*swapIntervalProc)(int interval) = nullptr;

// The font the score is printed in: a 24-pixel character height.
static constexpr int antialiasedQuality = 4;
static constexpr int normalWeight = 400;

void SetupRenderState()
{
    InitVSync();
    SetVSyncState(false);

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glPolygonMode(GL_FRONT, GL_FILL);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glEnable(GL_POINT_SMOOTH);
    // Scaled shapes keep unit normals for the lighting.
    glEnable(GL_NORMALIZE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    fontListBase = CreateTextFont("Lucida Sans", -24, antialiasedQuality, normalWeight, false,
                                  false, false);
    SetupLighting();
}

void InitVSync()
{
    // Swap control is there when the driver accepts an interval. Probing
    // with 0 does no harm: the set-up switches it off next anyway.
    if (Vid_SetSwapInterval(0))
        swapIntervalProc = Vid_SetSwapInterval;
    else
        DebugLog("InitVSync: VSync extension not supported!");
}

void SetVSyncState(bool on)
{
    DebugLog("SetVSyncState(%s)", on ? "true" : "false");
    if (swapIntervalProc)
        swapIntervalProc(on ? 1 : 0);
}

GLuint CreateTextFont(const char *face, int height, int quality, int weight, bool italic,
                      bool underline, bool strikeOut)
{
    // The glyphs are monochrome at normal weight, upright and plain, so
    // quality, weight and the three styles change nothing here.
    (void)quality, (void)weight, (void)italic, (void)underline, (void)strikeOut;

    const GLuint base = glGenLists(256);
    if (base == 0)
        return 0;
    // Codes 0..254: the list for 255 stays empty and draws nothing.
    const int pixelHeight = height < 0 ? -height : height;
    Font_BuildBitmapLists(face, pixelHeight, 0, 255, base);
    return base;
}

void SetupLighting()
{
    static const GLfloat dimWhite[4] = {0.3f, 0.3f, 0.3f, 1.0f};

    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    // The current colour drives the front faces' ambient and diffuse
    // material, so per-vertex colours are lit.
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glLightfv(GL_LIGHT0, GL_AMBIENT, dimWhite);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dimWhite);
    glEnable(GL_LIGHT0);
    CreateExplosionLights();
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

void DebugLog(const char *format, ...)
{
    static char line[2048];
    static const char prefix[] = "DEBUG: ";
    static constexpr size_t prefixLength = sizeof prefix - 1;
    static constexpr size_t endingLength = 2; // CR LF

    // The caller's text goes between the prefix and the line end. A text
    // too long for the buffer is cut there, so the CR LF always fits and
    // a format is never split in the middle of a conversion.
    std::memcpy(line, prefix, prefixLength);
    const size_t room = sizeof line - prefixLength - endingLength;
    va_list args;
    va_start(args, format);
    const int formatted = vsnprintf(line + prefixLength, room, format, args);
    va_end(args);
    if (formatted < 0)
        return;
    size_t length = prefixLength + std::min(static_cast<size_t>(formatted), room - 1);
    line[length++] = '\r';
    line[length++] = '\n';
    // One write per line, so lines never interleave.
    const ssize_t written = write(STDERR_FILENO, line, length);
    (void)written;
}
