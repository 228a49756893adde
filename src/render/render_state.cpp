#include "render/render_state.h"

#include "system/opengl.h"

#include "math/picture_rect.h"
#include "objects/explosion_light.h"
#include "platform/video.h"
#include "render/text.h"
#include "system/debug_log.h"

bool (*swapIntervalProc)(int interval) = nullptr;

// The picture's pixels per pixel of the 800 x 600 game, 1 there, as the
// last ResizeViewport placed it; and the scale the context's point size and
// the score's font were set up at.
static float pictureScale = 1.0f;
static float contextScale = 1.0f;
// The context clips drawing to the picture: there are bars around it.
static bool scissored = false;

// The score's font is antialiased, at normal weight, 24 pixels high in the
// 800 x 600 picture and as much larger as the picture is.
static constexpr int antialiasedQuality = 4;
static constexpr int normalWeight = 400;
static constexpr float scoreHeight = 24.0f;

static GLuint CreateScoreFont()
{
    // At least a pixel: a picture a few pixels high still gets a font.
    int height = static_cast<int>(scoreHeight * pictureScale + 0.5f);
    if (height < 1)
        height = 1;
    return CreateTextFont("Lucida Sans", -height, antialiasedQuality, normalWeight, false, false,
                          false);
}

void SetupRenderState()
{
    scissored = false;
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

    // A new context draws points one pixel wide; a larger picture draws
    // them as much wider (the stars, and the bullets twice that).
    if (pictureScale != 1.0f)
        glPointSize(pictureScale);
    fontListBase = CreateScoreFont();
    contextScale = pictureScale;
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

void ResizeViewport(int width, int height)
{
    if (height == 0)
        height = 1;
    // The playfield keeps its shape in any client area: the picture is the
    // largest 4:3 rectangle in it, and the clear leaves the bars black.
    // At 800 x 600 that is the whole client area, as it always was.
    const PictureRect picture = FitPicture(width, height);
    glViewport(picture.x, picture.y, picture.width, picture.height);
    // The viewport does not hold everything in: a wide point whose centre
    // is inside draws past its edge, a star into the bar. The scissor
    // does; without bars it stays off, as it always was.
    const bool bars = picture.width != width || picture.height != height;
    if (bars) {
        glScissor(picture.x, picture.y, picture.width, picture.height);
        if (!scissored)
            glEnable(GL_SCISSOR_TEST);
    } else if (scissored) {
        glDisable(GL_SCISSOR_TEST);
    }
    scissored = bars;
    if (picture.height > 0)
        pictureScale = static_cast<float>(picture.height) / 600.0f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The near plane is the float 0.1 widened to double.
    gluPerspective(45.0, kPictureAspect, static_cast<GLdouble>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ClearPicture()
{
    // The bars are cleared too, outside the scissor
    if (scissored)
        glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (scissored)
        glEnable(GL_SCISSOR_TEST);
}

void FollowPictureScale()
{
    if (contextScale == pictureScale)
        return;
    glPointSize(pictureScale);
    glDeleteLists(fontListBase, 256);
    fontListBase = CreateScoreFont();
    contextScale = pictureScale;
}
