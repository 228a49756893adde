#include "gl_test.h"

#include <cstdlib>
#include <string>

#include "platform/offscreen/offscreen_gl.h"

static bool        glReady = false;
static std::string glFailure;

void GlTest::SetUpTestSuite()
{
    glReady = OffscreenGL_Open(800, 600);
    if (!glReady)
        glFailure = OffscreenGL_Error();
}

void GlTest::TearDownTestSuite()
{
    OffscreenGL_Close();
    glReady = false;
}

void GlTest::SetUp()
{
    // CI sets QUARVEL_REQUIRE_GL: there a missing context is a failure, not
    // a reason to skip the drawing tests.
    if (!glReady && std::getenv("QUARVEL_REQUIRE_GL"))
        FAIL() << "no OpenGL context could be had: " << glFailure;
    if (!glReady)
        GTEST_SKIP() << "no OpenGL context could be had: " << glFailure;
}

std::vector<FedPrimitive> CaptureFeedback(const std::function<void()> &draw)
{
    static constexpr float half = 100.0f;
    std::vector<GLfloat> buffer(1 << 20);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, 2 * static_cast<int>(half), 2 * static_cast<int>(half));
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-half, half, -half, half, -half, half);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();

    EXPECT_GE(used, 0) << "feedback buffer overflowed";
    std::vector<FedPrimitive> primitives;
    auto readVertex = [&](GLint &at) {
        // Window coordinates back to object coordinates: x and y are
        // shifted by half, depth 0..1 maps to z from +half to -half.
        FedVertex v;
        v.x = buffer[at] - half;
        v.y = buffer[at + 1] - half;
        v.z = (1.0f - 2.0f * buffer[at + 2]) * half;
        v.r = buffer[at + 3];
        v.g = buffer[at + 4];
        v.b = buffer[at + 5];
        v.a = buffer[at + 6];
        at += 7;
        return v;
    };
    for (GLint at = 0; at < used;) {
        const GLenum token = static_cast<GLenum>(buffer[at++]);
        FedPrimitive primitive{token, {}};
        GLint count = 0;
        if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
            token == GL_COPY_PIXEL_TOKEN)
            count = 1;
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
            count = 2;
        else if (token == GL_POLYGON_TOKEN)
            count = static_cast<GLint>(buffer[at++]);
        else if (token == GL_PASS_THROUGH_TOKEN) {
            ++at;
            continue;
        }
        for (GLint i = 0; i < count; ++i)
            primitive.vertices.push_back(readVertex(at));
        primitives.push_back(primitive);
    }
    return primitives;
}
