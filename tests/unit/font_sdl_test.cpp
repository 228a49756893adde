#include <algorithm>
#include <cstring>
#include <vector>

#include "system/opengl.h"
#include <gtest/gtest.h>

#include "gl_test.h"
#include "platform/font.h"

// Glyph lists built through fontconfig and FreeType, drawn in a real
// context and read back from the back buffer of the 800 x 600 test window.

static constexpr int kWidth = 800;
static constexpr int kHeight = 600;

// Where the drawn text landed: the box of the pixels that are not black,
// and whether every one of them is exactly the colour drawn with.
struct TextBox {
    int  lit = 0;
    int  left = kWidth, right = -1, bottom = kHeight, top = -1;
    bool allInColour = true;
    std::vector<int> litPerRow = std::vector<int>(kHeight, 0);
};

class FontLists : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        base = glGenLists(256);
        ASSERT_NE(base, 0u);
    }
    void TearDown() override
    {
        if (base)
            glDeleteLists(base, 256);
    }

    // Prints text at window pixel (x, y) in magenta with the glyph lists,
    // as the game prints its score: raster position, list base, one call.
    TextBox Draw(const char *text, int x, int y, GLfloat rasterAfter[4])
    {
        return DrawWith(base, text, x, y, rasterAfter);
    }
    TextBox DrawWith(GLuint listBase, const char *text, int x, int y, GLfloat rasterAfter[4])
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, kWidth, 0, kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);

        glColor3f(1.0f, 0.0f, 1.0f);
        glRasterPos2i(x, y);
        glListBase(listBase);
        glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
        glGetFloatv(GL_CURRENT_RASTER_POSITION, rasterAfter);

        std::vector<GLubyte> pixels(kWidth * kHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();

        TextBox box;
        for (int row = 0; row < kHeight; ++row)
            for (int column = 0; column < kWidth; ++column) {
                const GLubyte *p = &pixels[(row * kWidth + column) * 4];
                if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                    continue;
                ++box.lit;
                ++box.litPerRow[row];
                box.allInColour &= p[0] == 255 && p[1] == 0 && p[2] == 255;
                box.left = std::min(box.left, column);
                box.right = std::max(box.right, column);
                box.bottom = std::min(box.bottom, row);
                box.top = std::max(box.top, row);
            }
        return box;
    }

    GLuint base = 0;
};

TEST_F(FontLists, GlyphListsExistForTheAskedCodesOnly)
{
    ASSERT_TRUE(Font_BuildBitmapLists("Lucida Sans", 24, 0, 255, base));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    for (unsigned code = 0; code < 255; ++code)
        ASSERT_TRUE(glIsList(base + code)) << "no list for code " << code;
    // glGenLists made 255 an empty list; it must stay empty: no pixels,
    // no advance
    GLfloat raster[4] = {};
    const TextBox last = Draw("\xFF", 10, 10, raster);
    EXPECT_EQ(last.lit, 0) << "code 255 draws nothing";
    EXPECT_NEAR(raster[0], 10.0f, 1e-3f) << "code 255 does not advance";
    // Code 254 (þ in the Windows code page) is the last glyph made
    Draw("\xFE", 10, 10, raster);
    EXPECT_GT(raster[0], 15.0f) << "code 254 advances like a letter";
    // A space has no pixels, only its advance: "Score: 0" keeps its gap
    const TextBox space = Draw(" ", 10, 10, raster);
    EXPECT_EQ(space.lit, 0);
    EXPECT_GT(raster[0], 14.0f) << "the space advances";
}

TEST_F(FontLists, ScoreTextIsDrawnInTheCurrentColourAboveTheBaseline)
{
    ASSERT_TRUE(Font_BuildBitmapLists("Lucida Sans", 24, 0, 255, base));
    GLfloat raster[4] = {};
    const TextBox box = Draw("Score: 0", 10, 10, raster);

    ASSERT_GT(box.lit, 100) << "the text drew next to nothing";
    EXPECT_TRUE(box.allInColour) << "glyphs are monochrome, in the colour of the raster position";
    // No letter of the score hangs below the baseline; round ones may dip
    // a pixel
    EXPECT_GE(box.bottom, 9);
    EXPECT_LE(box.bottom, 11);
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.left, 13);
    // Capitals and digits of a 24-pixel font stand 17 or 18 pixels
    const int height = box.top - box.bottom + 1;
    EXPECT_GE(height, 16) << "character height 24 px, not a 24 px cell";
    EXPECT_LE(height, 19) << "character height 24 px";
    const int width = box.right - box.left + 1;
    EXPECT_GT(width, 60);
    EXPECT_LT(width, 140);
    // Each glyph moved the raster position on by its advance, along the
    // baseline
    EXPECT_GT(raster[0], static_cast<GLfloat>(box.right)) << "raster x after the text";
    EXPECT_NEAR(raster[1], 10.0f, 1e-3f) << "raster y stays on the baseline";
}

TEST_F(FontLists, GlyphsStandUpright)
{
    ASSERT_TRUE(Font_BuildBitmapLists("Lucida Sans", 24, 0, 255, base));
    GLfloat raster[4] = {};
    // T is wide at the top and narrow below, L the other way round: rows
    // copied in the wrong order turn both upside down
    const TextBox t = Draw("T", 100, 100, raster);
    ASSERT_GT(t.lit, 0);
    const int tCap = t.top - t.bottom + 1;
    EXPECT_TRUE(tCap == 17 || tCap == 18) << "cap height " << tCap << " of a 24 px em";
    EXPECT_GT(t.litPerRow[t.top], 3 * t.litPerRow[t.bottom]) << "the bar of T is at the top";
    const TextBox l = Draw("L", 100, 100, raster);
    ASSERT_GT(l.lit, 0);
    EXPECT_GT(l.litPerRow[l.bottom], 3 * l.litPerRow[l.top]) << "the foot of L is at the bottom";
}

TEST_F(FontLists, UnknownFaceGetsASubstituteAndNoHeightGetsNothing)
{
    ASSERT_TRUE(Font_BuildBitmapLists("No Such Face Quarvel", 24, 0, 255, base))
        << "fontconfig offers a substitute for any face";
    GLfloat raster[4] = {};
    EXPECT_GT(Draw("Score", 10, 10, raster).lit, 50);

    const GLuint other = glGenLists(256);
    ASSERT_NE(other, 0u);
    EXPECT_FALSE(Font_BuildBitmapLists("Lucida Sans", 0, 0, 255, other));
    const TextBox none = DrawWith(other, "Score", 10, 10, raster);
    EXPECT_EQ(none.lit, 0) << "a failed build leaves the lists empty";
    EXPECT_NEAR(raster[0], 10.0f, 1e-3f) << "a failed build leaves the lists empty";
    glDeleteLists(other, 256);
}
