// The browser's OpenGL (src/platform/web/gl) with its WebGL side replaced by
// a recorder: what the pictures cannot show. Refused calls say so once and
// set an error; batches are drawn with the state they were made under;
// glyphs land where the raster position says. The pictures themselves are
// checked against Mesa's in the browser (tests/web/picture_test.js).

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/web/gl/gl_state.h"

#include <GL/glu.h>

// What reached the WebGL side.
struct Drawn {
    GLenum primitive;
    std::vector<float> vertices;
    float pointSize;
};
struct Placed {
    float x, y;
    int width, height;
};
static std::vector<Drawn> drawn;
static std::vector<Placed> placed;
static unsigned texturesMade = 0, texturesDeleted = 0;

void WebGl_Apply(GLenum) {}
void WebGl_Clear(GLbitfield) {}
void WebGl_Draw(GLenum primitive, const float *vertices, int count)
{
    drawn.push_back({primitive, std::vector<float>(vertices, vertices + count * vertexFloats),
                     webGl.pointSize});
}
void WebGl_DrawBitmap(const Bitmap &bitmap, float x, float y, float, const float *)
{
    placed.push_back({x, y, bitmap.width, bitmap.height});
}
unsigned WebGl_MakeBitmapTexture(const unsigned char *, int, int) { return ++texturesMade; }
void WebGl_DeleteTexture(unsigned texture) { texturesDeleted += texture != 0; }
void WebGl_Finish() {}
void WebGl_ReadPixels(int, int, int, int, unsigned char *) {}

class WebGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gl_ResetState();
        webGl.viewport[2] = 800, webGl.viewport[3] = 600;
        drawn.clear(), placed.clear();
        texturesMade = texturesDeleted = 0;
    }
};

static void Point(float x, float y)
{
    const float v[3] = {x, y, 0.0f};
    glVertex3fv(v);
}

TEST_F(WebGl, RefusedCallsSaySoOnceAndSetAnError)
{
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        glBegin(GL_LINES);
        Point(0, 0), Point(1, 1);
        glEnd();
        EXPECT_EQ(glGetError(), GL_INVALID_ENUM) << "lines are refused every time";
    }
    glEnable(GL_TEXTURE_2D);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
    glPushAttrib(GL_ENABLE_BIT);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
    const float spot = 45.0f;
    glLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &spot);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
    const std::string said = testing::internal::GetCapturedStderr();

    Gl_Flush();
    EXPECT_TRUE(drawn.empty()) << "nothing refused is drawn";
    EXPECT_EQ(said.find("glBegin"), said.rfind("glBegin")) << "one line per kind:\n" << said;
    for (const char *name : {"glBegin", "glEnable", "glPolygonMode", "glPushAttrib", "spotlight"})
        EXPECT_NE(said.find(name), std::string::npos) << name << " is named in:\n" << said;
    EXPECT_EQ(glGetError(), GL_NO_ERROR) << "glGetError clears the error";
}

TEST_F(WebGl, BatchesAreDrawnWithTheStateTheyWereMadeUnder)
{
    glBegin(GL_POINTS);
    Point(0, 0);
    glEnd();
    glColor3f(1, 0, 0); // a vertex attribute, no state change
    glBegin(GL_POINTS);
    Point(1, 1);
    glEnd();
    glPointSize(2.0f);
    glBegin(GL_POINTS);
    Point(2, 2);
    glEnd();
    glFlush();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].vertices.size(), 2u * vertexFloats) << "the first two points in one batch";
    EXPECT_EQ(drawn[0].pointSize, 1.0f) << "drawn before the size changed";
    EXPECT_EQ(drawn[0].vertices[vertexFloats + 6], 1.0f) << "the second point is red";
    EXPECT_EQ(drawn[0].vertices[vertexFloats + 7], 0.0f);
    EXPECT_EQ(drawn[1].pointSize, 2.0f);
}

TEST_F(WebGl, FlatShadingTakesTheLastVertexOfEachTriangle)
{
    glShadeModel(GL_FLAT);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0), glNormal3f(1, 0, 0), Point(0, 0);
    glColor3f(0, 1, 0), glNormal3f(0, 1, 0), Point(1, 0);
    glColor3f(0, 0, 1), glNormal3f(0, 0, 1), Point(0, 1);
    glEnd();
    glFlush();
    ASSERT_EQ(drawn.size(), 1u);
    const std::vector<float> &v = drawn[0].vertices;
    for (int vertex = 0; vertex < 3; ++vertex) {
        const float *at = &v[vertex * vertexFloats];
        EXPECT_EQ(at[3], 0.0f) << "lit at the last vertex's position, vertex " << vertex;
        EXPECT_EQ(at[4], 1.0f);
        EXPECT_EQ(at[8], 1.0f) << "the last vertex's colour (blue), vertex " << vertex;
        EXPECT_EQ(at[6], 0.0f);
        EXPECT_EQ(at[12], 1.0f) << "the last vertex's normal, vertex " << vertex;
    }
    EXPECT_EQ(v[vertexFloats + 0], 1.0f) << "each vertex keeps its own position";
}

TEST_F(WebGl, GlyphsFromDisplayListsLandAtTheRasterPosition)
{
    const GLubyte bits[4] = {0xFF, 0, 0, 0}; // one row of 8, padded to 4 bytes
    const GLuint base = glGenLists(2);
    ASSERT_NE(base, 0u);
    glNewList(base, GL_COMPILE);
    glBitmap(8, 1, 1.0f, 0.0f, 10.0f, 0.0f, bits);
    glEndList();
    glNewList(base + 1, GL_COMPILE);
    glColor3f(1, 1, 1);
    glEndList();
    EXPECT_EQ(glGetError(), GL_INVALID_OPERATION) << "only glBitmap is kept in a list";
    EXPECT_GE(glGenLists(1), base + 2) << "names in use are not handed out again";

    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 639, 0, 479, 1, -1);
    glMatrixMode(GL_MODELVIEW);
    glRasterPos2f(3, 3);
    const GLubyte text[3] = {0, 0, 9}; // list base + 9 does not exist
    glListBase(base);
    glCallLists(3, GL_UNSIGNED_BYTE, text);
    ASSERT_EQ(placed.size(), 2u);
    // (3, 3) of 639 x 479 on 800 x 600 is (3.76, 3.76); less the origin.
    EXPECT_EQ(placed[0].x, 2.0f);
    EXPECT_EQ(placed[0].y, 3.0f);
    EXPECT_EQ(placed[1].x, 12.0f) << "advanced by the glyph's move";

    glRasterPos2f(700, 3); // outside the overlay: no raster position
    glCallLists(1, GL_UNSIGNED_BYTE, text);
    EXPECT_EQ(placed.size(), 2u);

    glDeleteLists(base, 2);
    EXPECT_EQ(texturesDeleted, texturesMade) << "the glyphs' textures go with their lists";
}

TEST_F(WebGl, MatrixStacksAndQuadricErrors)
{
    for (int i = 1; i < matrixStackDepth; ++i)
        glPushMatrix();
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    glPushMatrix();
    EXPECT_EQ(glGetError(), GL_STACK_OVERFLOW);

    static GLenum reported = 0;
    GLUquadric *quadric = gluNewQuadric();
    gluQuadricCallback(quadric, GLU_ERROR, reinterpret_cast<_GLUfuncptr>(+[](GLenum e) { reported = e; }));
    gluSphere(quadric, 1.0, 1, 20);
    EXPECT_EQ(reported, static_cast<GLenum>(GLU_INVALID_VALUE)) << "a sphere needs two slices";
    EXPECT_STREQ(reinterpret_cast<const char *>(gluErrorString(reported)), "invalid value");
    gluDeleteQuadric(quadric);
}
