#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "expect_vector.h"
#include "headless/headless_game.h"
#include "objects/fragment.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "system/random.h"
#include "world/world.h"
#include "world_objects.h"

// Every vertex of a fragment lies between 0.51 and 1.0 of its radius from its centre.
static void ExpectShapeWithin(const Fragment &fragment, float radius)
{
    ASSERT_EQ(fragment.vertexCount, 14);
    for (const Vector3 &v : fragment.vertices) {
        const float distance = Length(Subtract(v, fragment.position));
        EXPECT_GE(distance, 0.51f * radius - tolerance);
        EXPECT_LE(distance, radius + tolerance);
    }
}

class Debris : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetHeadlessWorld(1000);
        GameSrand(31);
    }
    void TearDown() override
    {
        ResetWorld();
        SetClockSource(nullptr);
    }
};

TEST_F(Debris, SpawnDebrisThrowsFiveToFifteenSplintersInTheRocksColours)
{
    bool outOfPlane = false;
    for (unsigned seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        ResetWorld();
        Rock *rock = AddRock({2.0f, -1.0f, 0.0f});
        const size_t before = world.objects.size();

        GameSrand(seed);
        const size_t count = static_cast<size_t>(GameRand() % 11 + 5);
        GameSrand(seed);
        SpawnDebris(*rock);
        ASSERT_EQ(world.objects.size() - before, count) << "the count is the first draw";
        EXPECT_EQ(world.rocks.size(), 1u) << "debris is never a rock that can be hit";

        for (size_t i = before; i < world.objects.size(); ++i) {
            const Fragment *fragment = dynamic_cast<const Fragment *>(world.objects[i].get());
            ASSERT_NE(fragment, nullptr);
            EXPECT_FLOAT_EQ(fragment->radius, 0.2f);
            EXPECT_NEAR(Length(fragment->velocity), 2.0f, tolerance);
            const Vector3 offset = Subtract(fragment->position, rock->position);
            EXPECT_NEAR(Length(offset), 0.6f, tolerance);
            ExpectNear(offset, Multiply(fragment->velocity, 0.3f), tolerance, "starts along its flight");
            ExpectShapeWithin(*fragment, 0.2f);
            for (int k = 0; k < 8; ++k)
                ExpectNear(fragment->colours[k], rock->colours[k], 0.0f, "the rock's colours");
            outOfPlane = outOfPlane || std::fabs(fragment->velocity.z) > 0.1f;
        }
    }
    EXPECT_TRUE(outOfPlane) << "debris flies out of the playfield plane too";
}

TEST_F(Debris, DestroyShipClearsTheShipAndLeavesGreyDebrisAtItsCentre)
{
    Ship *ship = AddShip();
    ship->Translate(3.0f, -2.0f, 0.0f, false);
    const size_t before = world.objects.size();

    GameSrand(9);
    const size_t count = static_cast<size_t>(GameRand() % 11 + 5);
    GameSrand(9);
    DestroyShip(*ship);
    EXPECT_TRUE(ship->dead);
    EXPECT_EQ(world.ship, nullptr) << "a null ship is what starts the respawn timer";
    ASSERT_EQ(world.objects.size() - before, count);
    EXPECT_TRUE(world.rocks.empty());
    for (size_t i = before; i < world.objects.size(); ++i) {
        const Fragment *fragment = dynamic_cast<const Fragment *>(world.objects[i].get());
        ASSERT_NE(fragment, nullptr);
        ExpectNear(fragment->position, ship->position, tolerance, "no offset for ship debris");
        EXPECT_FLOAT_EQ(fragment->radius, 0.3f);
        EXPECT_NEAR(Length(fragment->velocity), 2.0f, tolerance);
        ExpectShapeWithin(*fragment, 0.3f);
        for (int k = 0; k < fragment->vertexCount; ++k) {
            const Vector3 &c = fragment->colours[k];
            EXPECT_EQ(c.x, c.y) << "grey";
            EXPECT_EQ(c.x, c.z) << "grey";
            EXPECT_GE(c.x, 0.40f - tolerance);
            EXPECT_LE(c.x, 0.99f + tolerance);
        }
    }
}

TEST_F(Debris, FragmentShrinksAboutItsCentreAndFliesOnPastTheEdge)
{
    const Rock rock(0.0f, 0.0f, 0.0f);
    Fragment fragment(rock, 0.2f);
    fragment.Translate(10.5f, 0.0f, 0.0f, false);
    fragment.velocity = {2.0f, 0.0f, 0.0f};

    // One update: shrink by 2 % about the centre, then move 0.04.
    const Vector3 centre = fragment.position;
    const std::vector<Vector3> shape = fragment.vertices;
    fragment.Update(20);
    for (size_t i = 0; i < shape.size(); ++i) {
        const Vector3 want = Add(Add(centre, Multiply(Subtract(shape[i], centre), 0.98f)), {0.04f, 0, 0});
        ExpectNear(fragment.vertices[i], want, tolerance, "shrunk about the centre, then moved");
    }
    EXPECT_FLOAT_EQ(fragment.radius, 0.2f * 0.98f);

    for (int update = 2; update <= 93; ++update) {
        fragment.Update(20);
        ASSERT_FALSE(fragment.dead) << "update " << update;
    }
    fragment.Update(20);
    EXPECT_TRUE(fragment.dead) << "a 0.2 fragment dies in its 94th update at 20 ms";
    EXPECT_NEAR(fragment.position.x, 10.5f + 94 * 0.04f, 1e-3f) << "debris never wraps";

    Fragment shipDebris(Vector3{0.0f, 0.0f, 0.0f}, 0.3f);
    for (int update = 1; update <= 113; ++update) {
        shipDebris.Update(20);
        ASSERT_FALSE(shipDebris.dead) << "update " << update;
    }
    shipDebris.Update(20);
    EXPECT_TRUE(shipDebris.dead) << "a 0.3 fragment dies in its 114th update at 20 ms";
}

TEST_F(Debris, ZeroFrameTimeChangesNothingAndTheLimitRadiusStillLives)
{
    const Rock rock(1.0f, 1.0f, 0.0f);
    Fragment fragment(rock, 0.2f);
    const std::vector<Vector3> shape = fragment.vertices;
    const Vector3 centre = fragment.position;
    fragment.Update(0);
    for (size_t i = 0; i < shape.size(); ++i)
        ExpectNear(fragment.vertices[i], shape[i], 0.0f, "frame time 0");
    ExpectNear(fragment.position, centre, 0.0f, "frame time 0");
    EXPECT_EQ(fragment.radius, 0.2f);

    fragment.radius = 0.03f;
    fragment.Update(0);
    EXPECT_FALSE(fragment.dead) << "a radius of exactly 0.03 is not below 0.03";
    fragment.Update(1);
    EXPECT_TRUE(fragment.dead);
}
