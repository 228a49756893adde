#include <algorithm>
#include "system/opengl.h"

#include "platform/messages.h"
#include "platform/scripted/scripted.h"
#include "system/virtual_keys.h"
#include "shell/window.h"
#include "shell_test.h"
#include "system/key_state.h"

class WindowProc : public ShellTest {};

TEST_F(WindowProc, KeysSetAndClearTheirFlagsAndLargeCodesAreIgnored)
{
    EXPECT_EQ(GameWindowProc(WM_KEYDOWN, VK_SPACE, 0), 0);
    EXPECT_EQ(KeyState[VK_SPACE], 1);
    GameWindowProc(WM_KEYDOWN, VK_SPACE, 0); // auto-repeat
    EXPECT_EQ(KeyState[VK_SPACE], 1);
    GameWindowProc(WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(KeyState[VK_SPACE], 0);

    unsigned char before[256];
    std::copy(std::begin(KeyState), std::end(KeyState), before);
    for (uintptr_t code : {uintptr_t{256}, uintptr_t{0x1FF}, uintptr_t{0x10020}, ~uintptr_t{0}}) {
        EXPECT_EQ(GameWindowProc(WM_KEYDOWN, code, 0), 0);
        GameWindowProc(WM_KEYUP, code, 0);
    }
    EXPECT_TRUE(std::equal(std::begin(KeyState), std::end(KeyState), before))
        << "codes of 256 and above must not touch KeyState or anything past it";
}

TEST_F(WindowProc, SystemKeysNeverReachKeyState)
{
    GameWindowProc(WM_SYSKEYDOWN, 'X', 0);
    GameWindowProc(WM_SYSKEYDOWN, VK_F10, 0);
    EXPECT_EQ(KeyState['X'], 0);
    EXPECT_EQ(KeyState[VK_F10], 0);
    EXPECT_EQ(ScriptedCalls("DefaultWindowProc").size(), 2u) << "they go to the default handling";
}

TEST_F(WindowProc, OnlyMinimisingMakesTheWindowInactive)
{
    GameWindowProc(WM_ACTIVATE, 0, 0); // deactivated, not minimised
    EXPECT_TRUE(windowActive) << "the game keeps running behind other windows";
    GameWindowProc(WM_ACTIVATE, (1u << 16) | 0, 0);
    EXPECT_FALSE(windowActive);
    GameWindowProc(WM_ACTIVATE, 1, 0);
    EXPECT_TRUE(windowActive);
}

TEST_F(WindowProc, ScreenSaverAndMonitorPowerAreRefused)
{
    EXPECT_EQ(GameWindowProc(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(GameWindowProc(WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_TRUE(ScriptedCalls("DefaultWindowProc").empty());
    GameWindowProc(WM_SYSCOMMAND, SC_SCREENSAVE + 1, 0);
    EXPECT_EQ(ScriptedCalls("DefaultWindowProc").size(), 1u) << "other commands pass on";
}

TEST_F(WindowProc, CloseQueuesAQuitWithCodeZero)
{
    EXPECT_EQ(GameWindowProc(WM_CLOSE, 0, 0), 0);
    Message message;
    ASSERT_TRUE(Sys_PeekMessage(message));
    EXPECT_EQ(message.message, static_cast<uint32_t>(WM_QUIT));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(WindowProc, SizePlacesTheLargestCentredFourByThreePictureAndScalesPointsAndFont)
{
    ASSERT_TRUE(OpenGameWindow("Quarvel - by Tobrenik", 800, 600, 32, true));
    struct Case {
        int   width, height;
        GLint viewport[4];
        int   fontHeight; // the score's font built again at it; 0: not built
    };
    // Wider, taller, exact, a zero height (taken as 1) and a width that
    // leaves less than a pixel of picture; three times and back at the end,
    // so that the next test starts at the game's own scale.
    const Case cases[] = {{1200, 600, {200, 0, 800, 600}, 0},
                          {1280, 1024, {0, 32, 1280, 960}, 38},
                          {1920, 1080, {240, 0, 1440, 1080}, 43},
                          {800, 600, {0, 0, 800, 600}, 24},
                          {641, 481, {0, 0, 641, 481}, 19},
                          {640, 0, {319, 0, 1, 1}, 1},
                          {1, 1, {0, 0, 1, 1}, 0},
                          {2400, 1800, {0, 0, 2400, 1800}, 72},
                          {800, 600, {0, 0, 800, 600}, 24}};
    for (const Case &c : cases) {
        const size_t builtBefore = ScriptedCalls("BuildBitmapLists").size();
        GameWindowProc(WM_SIZE, 0, c.width | (c.height << 16));
        const std::string size = std::to_string(c.width) + " x " + std::to_string(c.height);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(viewport[i], c.viewport[i]) << "element " << i << " of the viewport, " << size;
        // Where there are bars, nothing is drawn in them: the scissor holds
        // the picture (a wide point draws past the viewport's edge)
        const bool bars = c.viewport[2] != c.width || c.viewport[3] != std::max(c.height, 1);
        EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), bars ? GL_TRUE : GL_FALSE) << size;
        if (bars) {
            GLint scissor[4];
            glGetIntegerv(GL_SCISSOR_BOX, scissor);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(scissor[i], c.viewport[i]) << "element " << i << " of the scissor, " << size;
        }

        // gluPerspective: m[0] = f / aspect and m[5] = f, so their ratio is
        // the aspect the projection was built with (GL keeps it in floats):
        // the playfield's, whatever the client area.
        GLdouble projection[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        EXPECT_NEAR(projection[5] / projection[0], 800.0 / 600.0, 1e-6) << size;
        // Near plane 0.1 and far 100: m[14] = 2 f n / (n - f).
        EXPECT_NEAR(projection[14], 2.0 * 100.0 * 0.1 / (0.1 - 100.0), 1e-6) << size;
        GLint mode;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW) << size;

        // A point is one of the picture's pixels, and the score's glyphs
        // are as much larger as the picture.
        GLfloat pointSize = 0.0f;
        glGetFloatv(GL_POINT_SIZE, &pointSize);
        EXPECT_FLOAT_EQ(pointSize, static_cast<float>(c.viewport[3]) / 600.0f) << size;
        const auto built = ScriptedCalls("BuildBitmapLists");
        if (c.fontHeight == 0) {
            EXPECT_EQ(built.size(), builtBefore) << "the same scale keeps the font, " << size;
        } else {
            ASSERT_EQ(built.size(), builtBefore + 1) << size;
            EXPECT_EQ(built.back(),
                      "BuildBitmapLists Lucida Sans " + std::to_string(c.fontHeight) + " 0..254");
        }
    }
}
