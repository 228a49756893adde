#include <cmath>

#include <gtest/gtest.h>

#include "expect_vector.h"
#include "gl_test.h"
#include "headless/headless_game.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "system/random.h"
#include "world/world.h"
#include "world_objects.h"

static void ResetGame(unsigned seed)
{
    ResetHeadlessWorld();
    GameSrand(seed);
}

static Star *StarAt(size_t index)
{
    return static_cast<Star *>(world.objects[index].get());
}

class StarTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGame(1); }
    void TearDown() override { ResetWorld(); }
};

using StarField = StarTest;
using StarDrift = StarTest;
using StarWrap = StarTest;

TEST_F(StarField, HundredStarsFromFiveDrawsEachInOrder)
{
    CreateStarField();
    ASSERT_EQ(world.objects.size(), 100u);

    // Seed 1 starts 41, 18467, 6334, 26500, 19169: |x| 0.41, |y| 3.83,
    // z 0.34 x 19 - 20, x sign from an even draw, y sign from an odd one.
    const Star *first = StarAt(0);
    EXPECT_NEAR(first->position.x, -0.41f, tolerance);
    EXPECT_NEAR(first->position.y, 3.83f, tolerance);
    EXPECT_NEAR(first->position.z, -13.54f, tolerance);
    // Next 15724, 11478, 29358, 26962, 24464: 3.24, 16.14, depth 58, both even.
    const Star *second = StarAt(1);
    EXPECT_NEAR(second->position.x, -3.24f, tolerance);
    EXPECT_NEAR(second->position.y, -16.14f, tolerance);
    EXPECT_NEAR(second->position.z, -8.98f, tolerance);

    const int next = GameRand();
    GameSrand(1);
    for (int i = 0; i < 500; ++i)
        GameRand();
    EXPECT_EQ(next, GameRand()) << "the field takes exactly 500 draws";

    for (size_t i = 0; i < world.objects.size(); ++i) {
        const Star *star = StarAt(i);
        EXPECT_LE(std::fabs(star->position.x), 21.99f + tolerance) << "star " << i;
        EXPECT_LE(std::fabs(star->position.y), 16.43f + tolerance) << "star " << i;
        // One of the depths -20, -19.81, ... -1.19.
        const float steps = (star->position.z + 20.0f) / 0.19f;
        EXPECT_NEAR(steps, std::round(steps), 1e-3f) << "star " << i << " depth";
        EXPECT_GE(steps, -1e-3f) << "star " << i;
        EXPECT_LE(steps, 99.0f + 1e-3f) << "star " << i;
        // Grey from 0.5 at depth -20 to 0.9 at depth -1.
        const float grey = 0.5f + (star->position.z + 20.0f) * (0.4f / 19.0f);
        EXPECT_NEAR(star->colour.x, grey, tolerance) << "star " << i;
        EXPECT_EQ(star->colour.x, star->colour.y) << "star " << i;
        EXPECT_EQ(star->colour.x, star->colour.z) << "star " << i;
        EXPECT_EQ(Length(star->velocity), 0.0f) << "a new star is at rest";
        EXPECT_EQ(star->vertexCount, 0) << "a star is only its position";
    }
}

TEST_F(StarDrift, FollowsAMovingShipAtNineTenthsBackwards)
{
    Ship *ship = AddShip();
    ship->velocity = {2, 0, 0};
    Star star(5, 5, -10);
    star.Update(10);
    EXPECT_NEAR(star.velocity.x, -0.018f, tolerance) << "-0.9 x 2 units/s x 10 ms";
    EXPECT_EQ(star.velocity.y, 0.0f);
    EXPECT_NEAR(star.position.x, 5.0f - 0.018f, tolerance);
    star.Update(10);
    EXPECT_NEAR(star.position.x, 5.0f - 0.036f, tolerance) << "replaced, not accumulated";

    // Every star gets the same shift, whatever its depth.
    Star near(0, 0, -1.19f);
    near.Update(10);
    EXPECT_EQ(near.velocity.x, star.velocity.x);
}

TEST_F(StarDrift, CoastsAndDecaysWithNoShipOrAShipAtRest)
{
    Star star(0, 0, -5);
    star.velocity = {0.5f, -0.25f, 0};
    star.Update(16);
    EXPECT_NEAR(star.velocity.x, 0.5f * 0.984f, tolerance) << "no ship: decay by 1 - 0.016";
    EXPECT_NEAR(star.velocity.y, -0.25f * 0.984f, tolerance);
    EXPECT_NEAR(star.position.x, 0.492f, tolerance) << "moved by the decayed shift";
    star.Update(200);
    EXPECT_NEAR(star.velocity.x, 0.5f * 0.984f * 0.8f, tolerance);
    EXPECT_LT(star.velocity.y, 0.0f) << "decay never flips the direction";

    Ship *ship = AddShip();
    ship->velocity = {0, 0, 0};
    const float before = star.velocity.x;
    star.Update(100);
    EXPECT_NEAR(star.velocity.x, before * 0.9f, tolerance)
        << "a ship at exactly zero velocity counts as at rest";
}

TEST_F(StarWrap, OnlyWhileMovingOutwardsAndOnBothAxesAtOnce)
{
    // frameMs 0 with no ship keeps the shift as it is.
    Star corner(22.4f, 16.4f, -3);
    corner.velocity = {0.1f, 0.1f, 0};
    corner.Update(0);
    EXPECT_NEAR(corner.position.x, 22.5f - 44.0f, 1e-4f) << "22.5 wraps to -21.5";
    EXPECT_NEAR(corner.position.y, 16.5f - 32.88f, 1e-4f) << "and y in the same update";

    Star inbound(22.6f, -16.6f, -3);
    inbound.velocity = {-0.1f, 0.1f, 0};
    inbound.Update(0);
    EXPECT_NEAR(inbound.position.x, 22.5f, 1e-4f) << "beyond the bound but coming back";
    EXPECT_NEAR(inbound.position.y, -16.5f, 1e-4f) << "beyond the bound but coming back";

    Star left(-22.4f, 0, -3);
    left.velocity = {-0.1f, 0, 0};
    left.Update(0);
    EXPECT_NEAR(left.position.x, -22.5f + 44.0f, 1e-4f);

    // A shift too small to change 22.0 leaves the star exactly on the
    // bound, which is inside.
    Star edge(22.0f, 0, -3);
    edge.velocity = {1e-7f, 0, 0};
    edge.Update(0);
    EXPECT_EQ(edge.position.x, 22.0f);

    for (const Star *star : {&corner, &inbound, &left, &edge}) {
        EXPECT_EQ(star->position.z, -3.0f) << "depth never changes";
        EXPECT_NEAR(star->colour.x, 0.5f + 17.0f * 0.4f / 19.0f, tolerance)
            << "colour never changes";
    }
}

class StarDraw : public GlTest {};

TEST_F(StarDraw, OnePointInItsGrey)
{
    Star star(-4, 6, -1);
    const auto fed = CaptureFeedback([&] { star.Draw(); });
    ASSERT_EQ(fed.size(), 1u);
    ASSERT_EQ(fed[0].kind, static_cast<GLenum>(GL_POINT_TOKEN));
    EXPECT_NEAR(fed[0].vertices[0].x, -4.0f, 1e-4f);
    EXPECT_NEAR(fed[0].vertices[0].y, 6.0f, 1e-4f);
    EXPECT_NEAR(fed[0].vertices[0].z, -1.0f, 1e-4f);
    EXPECT_NEAR(fed[0].vertices[0].r, 0.9f, 1e-5f) << "the nearest depth is brightest";
    EXPECT_NEAR(fed[0].vertices[0].g, 0.9f, 1e-5f);
}
