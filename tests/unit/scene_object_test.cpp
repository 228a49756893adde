#include <gtest/gtest.h>

#include "expect_vector.h"
#include "gl_test.h"
#include "math/matrix4.h"
#include "objects/scene_object.h"

static void ExpectUnit(const Vector3 &axis, const char *what)
{
    EXPECT_NEAR(Length(axis), 1.0f, mathsTolerance) << what << " must stay unit length";
}

// An object at centre with one vertex, as the edge cases use.
static SceneObject Probe(Vector3 centre, Vector3 vertex)
{
    SceneObject o;
    o.vertexCount = 1;
    o.vertices = {vertex};
    o.colours = {Vector3{1, 0, 0}};
    o.position = centre;
    return o;
}

TEST(SceneObjectCore, DefaultObjectHasWorldAxesAndNothingElse)
{
    const SceneObject o;
    EXPECT_FALSE(o.dead);
    EXPECT_EQ(o.vertexCount, 0);
    EXPECT_TRUE(o.vertices.empty());
    EXPECT_TRUE(o.colours.empty());
    ExpectNear(o.position, 0, 0, 0, "position", mathsTolerance);
    ExpectNear(o.forward, 0, 0, 1, "forward", mathsTolerance);
    ExpectNear(o.up, 0, 1, 0, "up", mathsTolerance);
    ExpectNear(o.side, 1, 0, 0, "side", mathsTolerance);
    ExpectNear(o.velocity, 0, 0, 0, "velocity", mathsTolerance);
    EXPECT_EQ(o.mass, 0.0f);
}

TEST(SceneObjectTransform, ScaleAboutCentreVersusAboutOrigin)
{
    SceneObject centred = Probe({5, 0, 0}, {6, 0, 0});
    centred.Scale(2.0f, true);
    ExpectNear(centred.position, 5, 0, 0, "about centre keeps position", mathsTolerance);
    ExpectNear(centred.vertices[0], 7, 0, 0, "vertex moves away from the centre", mathsTolerance);

    SceneObject origin = Probe({5, 0, 0}, {6, 0, 0});
    origin.Scale(2.0f, false);
    ExpectNear(origin.position, 10, 0, 0, "about origin moves position", mathsTolerance);
    ExpectNear(origin.vertices[0], 12, 0, 0, "vertex scaled from the origin", mathsTolerance);

    for (const SceneObject *o : {&centred, &origin}) {
        ExpectUnit(o->forward, "forward");
        ExpectUnit(o->up, "up");
        ExpectUnit(o->side, "side");
    }
}

TEST(SceneObjectTransform, TurnAboutCentreTurnsVertexAndAxes)
{
    SceneObject o = Probe({3, 0, 0}, {4, 0, 0});
    o.ApplyTransform(Rotation(1.5707964f, {0, 0, 1}), true);
    ExpectNear(o.position, 3, 0, 0, "centre stays", mathsTolerance);
    ExpectNear(o.vertices[0], 3, 1, 0, "vertex swings about the centre", mathsTolerance);
    ExpectNear(o.side, 0, 1, 0, "side", mathsTolerance);
    ExpectNear(o.up, -1, 0, 0, "up", mathsTolerance);
    ExpectNear(o.forward, 0, 0, 1, "forward", mathsTolerance);

    SceneObject swung = Probe({3, 0, 0}, {4, 0, 0});
    swung.ApplyTransform(Rotation(1.5707964f, {0, 0, 1}), false);
    ExpectNear(swung.position, 0, 3, 0, "about the origin the centre swings too", mathsTolerance);
}

TEST(SceneObjectTransform, TranslateAlongOwnAxesFollowsTheTurn)
{
    SceneObject o;
    o.Translate(1, 0, 0, true);
    ExpectNear(o.position, 1, 0, 0, "fresh object, own axes are world axes", mathsTolerance);

    o.ApplyTransform(Rotation(1.5707964f, {0, 0, 1}), true);
    o.Translate(1, 0, 0, true);
    ExpectNear(o.position, 1, 1, 0, "turned object moves along its side axis", mathsTolerance);
    o.Translate(Vector3{1, 0, 0}, false);
    ExpectNear(o.position, 2, 1, 0, "world-axis move ignores the turn", mathsTolerance);
}

TEST(SceneObjectTransform, NonUniformScaleBendsTheAxesButNotTheVelocity)
{
    SceneObject o;
    o.forward = {0.6f, 0.8f, 0.0f};
    o.velocity = {1, 2, 3};
    o.Scale(1.0f, 0.5f, 1.0f, true);
    Vector3 expected{0.6f, 0.4f, 0.0f};
    Normalize(expected);
    ExpectNear(o.forward, expected, mathsTolerance, "forward bent and renormalised");
    ExpectUnit(o.forward, "forward");
    o.Translate(3, 4, 5, false);
    o.ApplyTransform(Rotation(0.3f, {0, 1, 0}), true);
    ExpectNear(o.velocity, 1, 2, 3, "transforms never touch velocity", mathsTolerance);
}

TEST(SceneObjectCopy, CopyStartsAliveAtRestAndSharesNothing)
{
    SceneObject source = Probe({1, 1, 0}, {2, 1, 0});
    source.velocity = {1, 2, 3};
    source.dead = true;
    source.mass = 4.5f;
    source.ApplyTransform(Rotation(0.5f, {0, 0, 1}), true);

    SceneObject copy(source);
    EXPECT_FALSE(copy.dead);
    ExpectNear(copy.velocity, 0, 0, 0, "copy does not inherit motion", mathsTolerance);
    EXPECT_EQ(copy.mass, 4.5f);
    EXPECT_EQ(copy.vertexCount, 1);
    ExpectNear(copy.side, source.side, mathsTolerance, "axes copied");

    const Vector3 before = source.vertices[0];
    copy.Translate(10, 0, 0, false);
    copy.colours[0] = {0, 0, 1};
    ExpectNear(source.vertices[0], before, mathsTolerance, "source vertices untouched");
    ExpectNear(source.colours[0], 1, 0, 0, "source colours untouched", mathsTolerance);
}

TEST(SceneObjectCopy, CopyTakesExactlyVertexCountColours)
{
    SceneObject source = Probe({0, 0, 0}, {1, 0, 0});
    source.colours.resize(32, Vector3{0.5f, 0.5f, 0.5f}); // left over from a longer shape
    SceneObject copy(source);
    EXPECT_EQ(copy.colours.size(), 1u);
    ExpectNear(copy.colours[0], 1, 0, 0, "first colour kept", mathsTolerance);
}

class SceneObjectDraw : public GlTest {};

TEST_F(SceneObjectDraw, PointsInVertexOrderWithTheirColours)
{
    SceneObject o;
    o.vertexCount = 2;
    o.vertices = {{1, 2, 3}, {-4, 5, -6}};
    o.colours = {{1, 0, 0}, {0, 0.5f, 1}};
    const auto fed = CaptureFeedback([&] { o.Draw(); });
    ASSERT_EQ(fed.size(), 2u);
    const float want[2][6] = {{1, 2, 3, 1, 0, 0}, {-4, 5, -6, 0, 0.5f, 1}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(fed[i].kind, static_cast<GLenum>(GL_POINT_TOKEN));
        const FedVertex &v = fed[i].vertices[0];
        EXPECT_NEAR(v.x, want[i][0], 1e-4f) << "point " << i;
        EXPECT_NEAR(v.y, want[i][1], 1e-4f) << "point " << i;
        EXPECT_NEAR(v.z, want[i][2], 1e-4f) << "point " << i;
        EXPECT_FLOAT_EQ(v.r, want[i][3]) << "point " << i;
        EXPECT_FLOAT_EQ(v.g, want[i][4]) << "point " << i;
        EXPECT_FLOAT_EQ(v.b, want[i][5]) << "point " << i;
    }
}

TEST_F(SceneObjectDraw, EmptyObjectDrawsNothingAndLeavesTheColourWhite)
{
    SceneObject o;
    glColor3f(0.2f, 0.3f, 0.4f);
    const auto fed = CaptureFeedback([&] { o.Draw(); });
    EXPECT_TRUE(fed.empty());
    // The capture restores the colour it found; draw once more outside it.
    o.Draw();
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
}
