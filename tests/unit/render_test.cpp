#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "system/opengl.h"

#include "debug_log_capture.h"
#include "gl_test.h"
#include "objects/explosion_light.h"
#include "render/render_state.h"
#include "world/world.h"
#include "system/debug_log.h"
#include "render/text.h"

// The DEBUG lines sent while action runs.
static std::string CaptureDebugLog(const std::function<void()> &action)
{
    StartDebugLogCapture();
    action();
    return StopDebugLogCapture();
}

TEST(DebugLog, WritesOnePrefixedLineEndingInCarriageReturnLineFeed)
{
    EXPECT_EQ(CaptureDebugLog([] { DebugLog("Frames: %d", 1234); }), "DEBUG: Frames: 1234\r\n");
    EXPECT_EQ(CaptureDebugLog([] { DebugLog("SetVSyncState(%s)", "false"); }),
              "DEBUG: SetVSyncState(false)\r\n");
}

TEST(DebugLog, ALineLongerThanItsBufferIsCutWithinIt)
{
    const std::string longText(3000, 'x');
    const std::string fromArgument = CaptureDebugLog([&] { DebugLog("%s", longText.c_str()); });
    ASSERT_LT(fromArgument.size(), 2048u) << "nothing beyond the 2048-byte buffer";
    EXPECT_EQ(fromArgument.rfind("DEBUG: xxx", 0), 0u);
    EXPECT_EQ(fromArgument.substr(fromArgument.size() - 3), "x\r\n");

    const std::string fromFormat = CaptureDebugLog([&] { DebugLog(longText.c_str()); });
    ASSERT_LT(fromFormat.size(), 2048u);
    EXPECT_EQ(fromFormat.rfind("DEBUG: xxx", 0), 0u);
}

// At the edge of the 2048-byte line: "DEBUG: " (7), the text, CR LF and the
// terminating zero. 2038 characters fit whole; one more is cut, and the
// line ends the same way either way.
TEST(DebugLog, ATextThatJustFitsIsWholeAndOneMoreLosesOnlyItsLastCharacter)
{
    const std::string fits(2038, 'f');
    EXPECT_EQ(CaptureDebugLog([&] { DebugLog("%s", fits.c_str()); }), "DEBUG: " + fits + "\r\n");
    const std::string over = fits + "!";
    EXPECT_EQ(CaptureDebugLog([&] { DebugLog("%s", over.c_str()); }), "DEBUG: " + fits + "\r\n");
    // A conversion past the cut does not disturb the part before it.
    EXPECT_EQ(CaptureDebugLog([&] { DebugLog("%s%d", fits.c_str(), 12345); }),
              "DEBUG: " + fits + "\r\n");
}

class RenderText : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Glyph lists that pass their character code through.
        base = glGenLists(256);
        for (GLuint c = 0; c < 256; ++c) {
            glNewList(base + c, GL_COMPILE);
            glPassThrough(static_cast<GLfloat>(c));
            glEndList();
        }
    }
    void TearDown() override
    {
        if (base)
            glDeleteLists(base, 256);
    }

    // The characters PrintText hands to the glyph lists.
    std::string Printed(const std::function<void()> &print)
    {
        std::vector<GLfloat> buffer(1 << 14);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        print();
        const GLint used = glRenderMode(GL_RENDER);
        std::string text;
        for (GLint at = 0; at + 1 < used; at += 2) {
            EXPECT_EQ(static_cast<GLenum>(buffer[at]), static_cast<GLenum>(GL_PASS_THROUGH_TOKEN));
            text += static_cast<char>(buffer[at + 1]);
        }
        return text;
    }

    GLuint base = 0;
};

static std::vector<GLfloat> Matrix(GLenum which)
{
    std::vector<GLfloat> m(16);
    glGetFloatv(which, m.data());
    return m;
}

TEST_F(RenderText, PrintsTheFormattedTextAndPutsTheStateBack)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, -20.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    const std::vector<GLfloat> modelView = Matrix(GL_MODELVIEW_MATRIX);
    const std::vector<GLfloat> projection = Matrix(GL_PROJECTION_MATRIX);

    EXPECT_EQ(Printed([&] { PrintText(base, 3, 3, "Score: %u", 520u); }), "Score: 520");
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION) << "the caller's matrix mode comes back";
    EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), modelView);
    EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), projection);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(Printed([&] { PrintText(base, 3, 3, "%s", ""); }), "");
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "a capability that was off stays off";
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    // Too long for the 260-byte buffer: cut, its terminating zero kept.
    const std::string longText(300, 'y');
    EXPECT_EQ(Printed([&] { PrintText(base, 3, 3, "%s", longText.c_str()); }), std::string(259, 'y'));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

class RenderLighting : public GlTest {
protected:
    void TearDown() override { ResetWorld(); }
};

TEST_F(RenderLighting, SetupLightingSetsTheDimLightAndMakesTheSevenLightsOnce)
{
    ResetWorld();
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    SetupLighting();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    GLint face = 0, parameter = 0;
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &face);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &parameter);
    EXPECT_EQ(face, GL_FRONT);
    EXPECT_EQ(parameter, GL_AMBIENT_AND_DIFFUSE);
    for (GLenum which : {GL_AMBIENT, GL_DIFFUSE}) {
        GLfloat value[4] = {};
        glGetLightfv(GL_LIGHT0, which, value);
        EXPECT_FLOAT_EQ(value[0], 0.3f);
        EXPECT_FLOAT_EQ(value[2], 0.3f);
        EXPECT_FLOAT_EQ(value[3], 1.0f);
    }
    ASSERT_EQ(world.lights.size(), 7u);
    SetupLighting();
    EXPECT_EQ(world.lights.size(), 7u) << "the lights are made by the first set-up only";
    EXPECT_EQ(world.objects.size(), 7u);
}
