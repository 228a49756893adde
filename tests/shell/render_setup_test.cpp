#include <algorithm>
#include <string>
#include <vector>

#include "system/opengl.h"

#include "platform/scripted/scripted.h"
#include "render/render_state.h"
#include "shell/window.h"
#include "shell_test.h"
#include "world/world.h"
#include "render/text.h"

class RenderSetup : public ShellTest {
protected:
    void OpenWindow() { ASSERT_TRUE(OpenGameWindow("Quarvel - by Tobrenik", 800, 600, 32, true)); }
};

TEST_F(RenderSetup, FixedStateReadsBack)
{
    OpenWindow();
    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
    EXPECT_EQ(clear[3], 1.0f);
    GLfloat depth;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    for (GLenum on : {GL_DEPTH_TEST, GL_CULL_FACE, GL_POINT_SMOOTH, GL_NORMALIZE, GL_BLEND,
                      GL_LIGHTING, GL_COLOR_MATERIAL, GL_LIGHT0})
        EXPECT_TRUE(glIsEnabled(on)) << "capability 0x" << std::hex << on;
    glGetIntegerv(GL_FRONT_FACE, &value);
    EXPECT_EQ(value, GL_CCW);
    GLint polygon[2];
    glGetIntegerv(GL_POLYGON_MODE, polygon);
    EXPECT_EQ(polygon[0], GL_FILL);
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_FASTEST) << "the fastest hint, not the nicest";
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &value);
    EXPECT_EQ(value, GL_FRONT);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &value);
    EXPECT_EQ(value, GL_AMBIENT_AND_DIFFUSE);
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_FLOAT_EQ(light[0], 0.3f);
    EXPECT_FLOAT_EQ(light[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    EXPECT_FLOAT_EQ(light[1], 0.3f);
    EXPECT_NE(fontListBase, 0u);
}

TEST_F(RenderSetup, EveryNewContextStartsWithSwapIntervalZero)
{
    CaptureLog();
    OpenWindow();
    swapIntervalProc(1); // F3
    CloseGameWindow();
    OpenWindow();
    const auto log = LogLines();
    EXPECT_EQ(scripted.swapIntervals.back(), 0) << "the set-up switches it off again";
    EXPECT_EQ(std::count(log.begin(), log.end(), "SetVSyncState(false)"), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "InitVSync: VSync extension not supported!"), 0);
}

TEST_F(RenderSetup, NoSwapControlLogsOnceAndF2OnlyLogs)
{
    scripted.swapControl = false;
    CaptureLog();
    OpenWindow();
    SetVSyncState(true);
    const auto log = LogLines();
    EXPECT_EQ(log, (std::vector<std::string>{"InitVSync: VSync extension not supported!",
                                             "SetVSyncState(false)", "SetVSyncState(true)"}));
    EXPECT_EQ(scripted.swapIntervals, std::vector<int>{0}) << "only the probe reached the driver";
}

// How far a display list moves the raster position in x.
static float Advance(GLuint list)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRasterPos2f(100, 100);
    GLfloat before[4], after[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
    glCallList(list);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return after[0] - before[0];
}

TEST_F(RenderSetup, GlyphsForCodes0To254AndAnEmptyLast)
{
    OpenWindow();
    EXPECT_EQ(ScriptedCalls("BuildBitmapLists"),
              std::vector<std::string>{"BuildBitmapLists Lucida Sans 24 0..254"});
    EXPECT_GT(Advance(fontListBase + 'A'), 0.0f);
    EXPECT_GT(Advance(fontListBase + 254), 0.0f);
    EXPECT_EQ(Advance(fontListBase + 255), 0.0f) << "code 255 calls the empty last list";
}

// Lowest and leftmost lit pixel of the back buffer, or (-1, -1).
static std::pair<int, int> LitCorner()
{
    std::vector<unsigned char> pixels(800 * 600 * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int left = -1, bottom = -1;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (pixels[(y * 800 + x) * 4] > 128) {
                if (bottom < 0)
                    bottom = y;
                if (left < 0 || x < left)
                    left = x;
            }
    return {left, bottom};
}

TEST_F(RenderSetup, PrintTextStandsInTheLowerLeftAndRestoresState)
{
    OpenWindow();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glMatrixMode(GL_TEXTURE);
    PrintText(fontListBase, 3, 3, "Score: %u", 0u);

    // Overlay unit 3 of 639 on 800 pixels: about 3.76 pixels in.
    const auto [left, bottom] = LitCorner();
    EXPECT_GE(left, 3);
    EXPECT_LE(left, 4);
    EXPECT_GE(bottom, 3);
    EXPECT_LE(bottom, 4);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_TEXTURE) << "the caller's matrix mode comes back";
    glMatrixMode(GL_MODELVIEW);

    glDisable(GL_DEPTH_TEST);
    PrintText(fontListBase, 3, 3, "%s", "");
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "a capability that was off stays off";
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}

TEST_F(RenderSetup, PrintTextCutsALongTextInsteadOfOverrunning)
{
    OpenWindow();
    const std::string longText(5000, 'W');
    glClear(GL_COLOR_BUFFER_BIT);
    PrintText(fontListBase, 3, 3, "%s", longText.c_str());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_GE(LitCorner().first, 0) << "the part that fits is still drawn";
}
