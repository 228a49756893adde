#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "system/opengl.h"
#include <gtest/gtest.h>

#include "debug_log_capture.h"
#include "expect_vector.h"
#include "gl_test.h"
#include "headless/headless_game.h"
#include "objects/bullet.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "system/random.h"
#include "system/virtual_keys.h"
#include "world/world.h"
#include "world_objects.h"

static void ResetGame(unsigned seed)
{
    ResetHeadlessWorld();
    GameSrand(seed);
}

// A rock in world.rocks whose collision fields are set by hand; its shape
// does not take part in any test here.
static Rock *AddRock(Vector3 at, float radius, Vector3 velocity)
{
    Rock *rock = AddRock(at);
    rock->radius = radius;
    rock->mass = 8.0f * radius;
    rock->velocity = velocity;
    return rock;
}

class ShipTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGame(1); }
    void TearDown() override
    {
        ResetWorld();
        std::memset(KeyState, 0, sizeof KeyState);
        SetClockSource(nullptr);
    }
};

using ShipShape = ShipTest;
using ShipFlight = ShipTest;
using ShipHyperspace = ShipTest;
using ShipShield = ShipTest;
using ShipFire = ShipTest;

TEST_F(ShipShape, NewShipStandsAtTheOriginNoseUpTheScreen)
{
    Ship ship;
    ExpectNear(ship.position, 0, 0, 0, "position");
    ExpectNear(ship.forward, 0, 1, 0, "forward");
    ExpectNear(ship.up, -1, 0, 0, "up");
    ExpectNear(ship.side, 0, 0, -1, "side");
    ExpectNear(ship.velocity, 0, 0, 0, "velocity");
    EXPECT_FLOAT_EQ(ship.mass, 1.3f);
    EXPECT_FLOAT_EQ(ship.radius, 0.3f);
    EXPECT_EQ(ship.state, ShipState::Normal);
    EXPECT_EQ(ship.hyperspaceStart, 0u);
    EXPECT_NE(ship.quadric, nullptr);

    ASSERT_EQ(ship.vertexCount, 10);
    ExpectNear(ship.vertices[0], 0, 0.375f, 0, "nose");
    ExpectNear(ship.vertices[1], 0, -0.225f, 0, "base centre");
    for (int i = 2; i < 10; ++i) {
        const Vector3 &v = ship.vertices[i];
        EXPECT_NEAR(v.y, -0.225f, tolerance) << "rim vertex " << i << " lies in the base plane";
        EXPECT_NEAR(std::hypot(v.x, v.z), 0.3f, tolerance) << "rim vertex " << i;
    }
}

TEST_F(ShipShape, GreysComeFromTenDrawsInVertexOrder)
{
    Ship ship;
    // Seed 1 starts 41, 18467: (41 mod 40 + 40) x 0.01 and (27 + 40) x 0.01.
    EXPECT_NEAR(ship.colours[0].x, 0.41f, 1e-6f);
    EXPECT_NEAR(ship.colours[1].x, 0.67f, 1e-6f);
    for (int i = 0; i < 10; ++i) {
        const Vector3 &c = ship.colours[i];
        EXPECT_GE(c.x, 0.4f - 1e-6f) << "vertex " << i;
        EXPECT_LE(c.x, 0.79f + 1e-6f) << "vertex " << i;
        EXPECT_EQ(c.x, c.y) << "vertex " << i << " must be grey";
        EXPECT_EQ(c.x, c.z) << "vertex " << i << " must be grey";
    }
    const int next = GameRand();
    GameSrand(1);
    for (int i = 0; i < 10; ++i)
        GameRand();
    EXPECT_EQ(next, GameRand()) << "a ship takes exactly ten draws";
}

TEST_F(ShipShape, EveryFaceIsCounterClockwiseSeenFromOutside)
{
    Ship ship;
    ASSERT_EQ(ship.faceCount, 16);
    // position lies inside the convex cone, so an outward face normal has
    // a positive dot product with any corner seen from it.
    for (int i = 0; i < ship.faceCount; ++i) {
        const Triangle &f = ship.faces[i];
        const Vector3 a = Subtract(ship.vertices[f.a], ship.position);
        const Vector3 ab = Subtract(ship.vertices[f.b], ship.vertices[f.a]);
        const Vector3 ac = Subtract(ship.vertices[f.c], ship.vertices[f.a]);
        const Vector3 n{ab.y * ac.z - ab.z * ac.y, ab.z * ac.x - ab.x * ac.z,
                        ab.x * ac.y - ab.y * ac.x};
        EXPECT_GT(n.x * a.x + n.y * a.y + n.z * a.z, 0.0f) << "face " << i << " faces inwards";
    }
}

TEST_F(ShipFlight, ThrustFromRestForATenthOfASecond)
{
    Ship *ship = AddShip();
    KeyState[VK_UP] = 1;
    ship->Update(100);
    ExpectNear(ship->velocity, 0, 0.8f, 0, "8 units/s^2 for 0.1 s, no drag on zero velocity");
    ExpectNear(ship->position, 0, 0.08f, 0, "moved by velocity x dt");
    ExpectNear(ship->vertices[0], 0, 0.455f, 0, "the nose moves with the ship");
}

TEST_F(ShipFlight, SpeedIsCappedAtTenOnlyWhileThrusting)
{
    Ship *ship = AddShip();
    KeyState[VK_UP] = 1;
    for (int i = 0; i < 20; ++i) {
        ship->Update(200);
        ASSERT_LE(Length(ship->velocity), 10.0f + tolerance) << "update " << i;
    }
    EXPECT_NEAR(Length(ship->velocity), 10.0f, tolerance) << "thrust reaches the cap";
    EXPECT_NEAR(ship->velocity.x, 0.0f, tolerance) << "capping keeps the direction";

    // A bounce can leave the ship faster than 10; coasting keeps that.
    KeyState[VK_UP] = 0;
    ship->velocity = {20, 0, 0};
    ship->Update(100);
    EXPECT_NEAR(ship->velocity.x, 19.2f, 1e-4f) << "no cap without thrust, only drag";
    KeyState[VK_UP] = 1;
    ship->Update(100);
    EXPECT_NEAR(Length(ship->velocity), 10.0f, tolerance) << "the cap returns with thrust";
}

TEST_F(ShipFlight, DragDecaysCoastingAndStopsItBelowThreeTenths)
{
    Ship *ship = AddShip();
    ship->velocity = {1, 0, 0};
    ship->Update(100);
    EXPECT_NEAR(ship->velocity.x, 0.96f, tolerance) << "loses 0.4 x dt of itself";
    EXPECT_NEAR(ship->position.x, 0.096f, tolerance);

    // 0.32 x 0.96 = 0.3072 keeps coasting; 0.31 x 0.96 = 0.2976 stops dead
    // before the move, so the ship stays put.
    ship->velocity = {0.32f, 0, 0};
    const float before = ship->position.x;
    ship->Update(100);
    EXPECT_NEAR(ship->velocity.x, 0.3072f, tolerance);
    EXPECT_NEAR(ship->position.x, before + 0.03072f, tolerance);

    ship->velocity = {0.0f, -0.31f, 0};
    const Vector3 at = ship->position;
    ship->Update(100);
    EXPECT_EQ(ship->velocity.x, 0.0f);
    EXPECT_EQ(ship->velocity.y, 0.0f) << "below the stop speed the velocity is exactly zero";
    ExpectNear(ship->position, at.x, at.y, at.z, "a stopped ship does not move");

    // While thrusting, a slow ship is not stopped.
    KeyState[VK_UP] = 1;
    ship->velocity = {0.1f, 0, 0};
    ship->Update(0);
    EXPECT_NEAR(ship->velocity.x, 0.1f, tolerance);
}

TEST_F(ShipFlight, OneSecondOfLeftTurns5Point585RadiansCounterClockwise)
{
    Ship *ship = AddShip();
    KeyState[VK_LEFT] = 1;
    for (int i = 0; i < 10; ++i)
        ship->Update(100);
    // Counter-clockwise from straight up by 5.5850534 rad.
    const float angle = 5.5850534f;
    EXPECT_NEAR(ship->forward.x, -std::sin(angle), 1e-4f);
    EXPECT_NEAR(ship->forward.y, std::cos(angle), 1e-4f);
    ExpectNear(ship->position, 0, 0, 0, "the ship turns about its own centre");
    ExpectNear(ship->side, 0, 0, -1, "the turn axis is unchanged");

    // Right turns the other way; with both held Left wins.
    Ship right;
    Ship both;
    KeyState[VK_LEFT] = 0;
    KeyState[VK_RIGHT] = 1;
    right.Update(100);
    KeyState[VK_LEFT] = 1;
    both.Update(100);
    EXPECT_GT(right.forward.x, 0.5f) << "Right turns the nose clockwise, towards +x";
    EXPECT_LT(both.forward.x, -0.5f) << "Left wins when both are down";
}

TEST_F(ShipFlight, WrapsJustPastTheEdgesButNotOnThem)
{
    Ship *ship = AddShip();
    ship->Translate(11.05f, 0, 0, false);
    ship->Update(0);
    EXPECT_NEAR(ship->position.x, -10.95f, tolerance);
    EXPECT_NEAR(ship->vertices[0].x, -10.95f, tolerance) << "the shape wraps with the centre";

    Ship *edge = AddShip();
    edge->Translate(11.0f, -8.22f, 0, false);
    edge->Update(0);
    EXPECT_EQ(edge->position.x, 11.0f) << "exactly on the bound is inside";
    EXPECT_EQ(edge->position.y, -8.22f) << "exactly on the bound is inside";

    // Both axes in one update, from a move.
    Ship *corner = AddShip();
    corner->Translate(-10.9f, 8.2f, 0, false);
    corner->velocity = {-2.5f, 0.5f, 0};
    corner->Update(100);
    EXPECT_NEAR(corner->position.x, -10.9f - 0.24f + 22.0f, tolerance);
    EXPECT_NEAR(corner->position.y, 8.2f + 0.048f - 16.44f, tolerance);
}

TEST_F(ShipHyperspace, JumpHidesAndStopsTheShipForMoreThanASecond)
{
    Ship *ship = AddShip();
    ship->Translate(1, 1, 0, false);
    ship->velocity = {3, 0, 0};
    UseManualClock(5000);
    KeyState[VK_DOWN] = 1;
    KeyState[VK_UP] = 1;
    KeyState[VK_SPACE] = 1;
    // Seed 1 after its first draw: 18467, 6334, 26500, 19169, so |x| 8.67,
    // |y| 5.80, x negative (even), y positive (odd).
    GameSrand(1);
    GameRand();
    ship->Update(16);

    EXPECT_EQ(ship->state, ShipState::Hyperspace);
    EXPECT_EQ(ship->hyperspaceStart, 5000u);
    ExpectNear(ship->position, -8.67f, 5.8f, 0, "teleported");
    ExpectNear(ship->vertices[0], -8.67f, 6.175f, 0, "the shape goes along");
    ExpectNear(ship->velocity, 0, 0, 0, "stopped, and no thrust in the jump's update");
    EXPECT_EQ(world.bulletCount, 0) << "no shot in the jump's update";

    // Every key is ignored while jumping, up to exactly 1000 ms.
    KeyState[VK_LEFT] = 1;
    UseManualClock(6000);
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Hyperspace) << "1000 ms is not more than 1000";
    ExpectNear(ship->position, -8.67f, 5.8f, 0, "motionless");
    ExpectNear(ship->forward, 0, 1, 0, "no turn");

    // The update that ends the jump ends there.
    KeyState[VK_DOWN] = 0;
    UseManualClock(6001);
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Normal);
    EXPECT_EQ(ship->hyperspaceStart, 0u);
    ExpectNear(ship->velocity, 0, 0, 0, "no thrust in the update that ends the jump");
    ExpectNear(ship->forward, 0, 1, 0, "no turn in the update that ends the jump");
    EXPECT_EQ(world.bulletCount, 0) << "no shot in the update that ends the jump";

    ship->Update(16);
    EXPECT_GT(ship->velocity.y, 0.0f) << "the next update flies again";
    EXPECT_EQ(world.bulletCount, 1) << "and fires";
}

TEST_F(ShipHyperspace, ElapsedTimeSurvivesTheClockWrapping)
{
    Ship *ship = AddShip();
    UseManualClock(0xFFFFFF00u);
    KeyState[VK_DOWN] = 1;
    ship->Update(16);
    KeyState[VK_DOWN] = 0;
    UseManualClock(0x000002E8u); // 1000 ms later, across the wrap
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Hyperspace);
    UseManualClock(0x000002E9u);
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Normal) << "1001 ms across the wrap ends the jump";
}

TEST_F(ShipHyperspace, ShieldBlocksTheJumpUntilReleased)
{
    Ship *ship = AddShip();
    KeyState['M'] = 1;
    KeyState[VK_DOWN] = 1;
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Shield) << "the shield key wins over the jump";
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Shield) << "a shielded ship cannot jump";

    KeyState['M'] = 0;
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Normal) << "one mode change per update";
    ship->Update(16);
    EXPECT_EQ(ship->state, ShipState::Hyperspace);
}

TEST_F(ShipShield, EachShieldKeyRaisesItAndItNeverFires)
{
    for (char key : std::string("ZXCVBNM")) {
        Ship ship;
        KeyState[static_cast<unsigned char>(key)] = 1;
        KeyState[VK_SPACE] = 1;
        ship.Update(16);
        EXPECT_EQ(ship.state, ShipState::Shield) << "key " << key;
        EXPECT_FLOAT_EQ(ship.radius, 0.4f) << "key " << key;
        EXPECT_EQ(world.bulletCount, 0) << "a shielded ship fires nothing, key " << key;

        // Releasing Space while shielded still clears the latch.
        fireLatch = true;
        KeyState[VK_SPACE] = 0;
        ship.Update(16);
        EXPECT_FALSE(fireLatch) << "key " << key;

        KeyState[static_cast<unsigned char>(key)] = 0;
        ship.Update(16);
        EXPECT_EQ(ship.state, ShipState::Normal) << "key " << key;
        EXPECT_FLOAT_EQ(ship.radius, 0.3f) << "key " << key;
    }
}

TEST_F(ShipShield, RockBouncesOffAndDroppingTheShieldIsFatal)
{
    Ship *ship = AddShip();
    // 0.5 away: touching the 0.4 shield (0.6) but not the bare ship (0.5).
    Rock *rock = AddRock({0.5f, 0, 0}, 0.2f, {-1, 0, 0});
    ship->Update(16);
    ASSERT_FALSE(ship->dead) << "0.5 is not less than 0.2 + 0.3";
    ASSERT_FALSE(rock->hit);

    KeyState['Z'] = 1;
    const size_t objectsBefore = world.objects.size();
    StartDebugLogCapture();
    ship->Update(100);
    const std::string log = StopDebugLogCapture();
    EXPECT_EQ(log, "DEBUG: Bounce\r\n") << "the new radius counts in the same update";
    EXPECT_FALSE(rock->hit) << "a bounce is not a hit";
    EXPECT_FALSE(ship->dead);
    EXPECT_EQ(world.ship, ship);
    EXPECT_EQ(world.score, 0u);
    EXPECT_EQ(world.objects.size(), objectsBefore) << "no debris from a bounce";
    // Rock mass 1.6, ship 1.3, ship at rest: ship gets 3.2/2.9 of the
    // rock's velocity, the rock keeps 0.3/2.9 of its own.
    EXPECT_NEAR(ship->velocity.x, -3.2f / 2.9f, tolerance);
    EXPECT_NEAR(rock->velocity.x, -0.3f / 2.9f, tolerance);
    EXPECT_NEAR(ship->position.x, -3.2f / 2.9f * 0.1f, tolerance)
        << "the ship steps away by its new velocity";
    EXPECT_EQ(rock->position.x, 0.5f) << "the rock is not moved by the bounce";

    // Drop the shield while still overlapping.
    ship->velocity = {};
    ship->position = {0.1f, 0, 0};
    KeyState['Z'] = 0;
    ship->Update(0);
    EXPECT_TRUE(ship->dead) << "the bare ship touches the rock at 0.4 < 0.5";
    EXPECT_TRUE(rock->hit);
    EXPECT_EQ(world.ship, nullptr);
}

TEST_F(ShipShield, UnshieldedTouchHitsOnlyTheFirstRockAndThrowsDebris)
{
    Ship *ship = AddShip();
    Rock *far = AddRock({5, 5, 0}, 1.0f, {});
    Rock *first = AddRock({0.6f, 0, 0}, 0.5f, {});
    Rock *second = AddRock({-0.6f, 0, 0}, 0.5f, {});
    const size_t objectsBefore = world.objects.size();
    GameSrand(7);
    StartDebugLogCapture();
    ship->Update(16);
    EXPECT_EQ(StopDebugLogCapture(), "") << "no bounce without the shield";

    EXPECT_TRUE(first->hit);
    EXPECT_FALSE(second->hit) << "the walk stops at the first touching rock";
    EXPECT_FALSE(far->hit);
    EXPECT_TRUE(ship->dead);
    EXPECT_EQ(world.ship, nullptr);
    const size_t debris = world.objects.size() - objectsBefore;
    EXPECT_GE(debris, 5u);
    EXPECT_LE(debris, 15u);
    EXPECT_EQ(world.rocks.size(), 3u) << "debris never joins the rocks";
}

TEST(ShipElasticBounce, EqualMassesSwapAndAHeavyRockKicksHard)
{
    SceneObject a;
    SceneObject b;
    a.mass = b.mass = 2.0f;
    a.velocity = {1, 2, 0};
    b.velocity = {-3, 0.5f, 0};
    ElasticBounce(a, b);
    ExpectNear(a.velocity, -3, 0.5f, 0, "equal masses swap");
    ExpectNear(b.velocity, 1, 2, 0, "equal masses swap");

    SceneObject ship;
    SceneObject rock;
    ship.mass = 1.3f;
    rock.mass = 4.8f; // a rock of radius 0.6
    rock.velocity = {0, -2, 0};
    ElasticBounce(ship, rock);
    EXPECT_NEAR(ship.velocity.y / -2.0f, 9.6f / 6.1f, 1e-5f) << "about 1.57 times the rock's";
    // Momentum is kept: 1.3 x ship + 4.8 x rock = 4.8 x -2.
    EXPECT_NEAR(1.3f * ship.velocity.y + 4.8f * rock.velocity.y, -9.6f, 1e-4f);
}

TEST_F(ShipFire, OnePressOneShotAndAHeldFifthWaitsForASlot)
{
    Ship *ship = AddShip();
    KeyState[VK_SPACE] = 1;
    for (int i = 0; i < 3; ++i)
        ship->Update(16);
    EXPECT_EQ(world.bulletCount, 1) << "holding Space does not repeat";
    EXPECT_TRUE(fireLatch);

    for (int press = 0; press < 3; ++press) {
        KeyState[VK_SPACE] = 0;
        ship->Update(16);
        EXPECT_FALSE(fireLatch);
        KeyState[VK_SPACE] = 1;
        ship->Update(16);
    }
    EXPECT_EQ(world.bulletCount, 4);

    // The fifth press finds no free slot; held on, it fires once one
    // bullet is gone.
    KeyState[VK_SPACE] = 0;
    ship->Update(16);
    KeyState[VK_SPACE] = 1;
    ship->Update(16);
    EXPECT_EQ(world.bulletCount, 4) << "at most four bullets";
    const size_t objectsBefore = world.objects.size();
    world.objects.pop_back(); // the newest bullet is gone
    ASSERT_EQ(world.bulletCount, 3);
    ship->Update(16);
    EXPECT_EQ(world.bulletCount, 4) << "the held press fires into the free slot";
    EXPECT_EQ(world.objects.size(), objectsBefore);
}

TEST_F(ShipFire, APressReleasedBeforeASlotFreesIsLost)
{
    Ship *ship = AddShip();
    for (int press = 0; press < 4; ++press) {
        KeyState[VK_SPACE] = 1;
        ship->Update(16);
        KeyState[VK_SPACE] = 0;
        ship->Update(16);
    }
    ASSERT_EQ(world.bulletCount, 4);
    KeyState[VK_SPACE] = 1;
    ship->Update(16);
    KeyState[VK_SPACE] = 0;
    ship->Update(16);
    world.objects.pop_back();
    ship->Update(16);
    EXPECT_EQ(world.bulletCount, 3) << "a released fifth press fires nothing later";
}

class ShipDraw : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        ResetGame(3);
    }
    void TearDown() override { ResetWorld(); }
};

TEST_F(ShipDraw, NormalShipDrawsItsSixteenFacesAndNothingInHyperspace)
{
    Ship ship;
    const auto fed = CaptureFeedback([&] { ship.Draw(); });
    ASSERT_EQ(fed.size(), 16u);
    EXPECT_NEAR(fed[0].vertices[0].y, 0.375f, 1e-4f) << "the first face starts at the nose";

    ship.state = ShipState::Hyperspace;
    EXPECT_TRUE(CaptureFeedback([&] { ship.Draw(); }).empty()) << "a jumping ship is invisible";
}

TEST_F(ShipDraw, ShieldIsASphereAboutTheShipThatPutsTheStateBack)
{
    Ship ship;
    ship.Translate(2, 3, 0, false);
    KeyState['X'] = 1;
    ship.Update(0);
    ASSERT_EQ(ship.state, ShipState::Shield);

    GLfloat normal[3] = {};
    GLboolean depthTest = GL_FALSE;
    GLfloat modelview[16] = {};
    GLfloat modelviewAfter[16] = {};
    const auto fed = CaptureFeedback([&] {
        glEnable(GL_DEPTH_TEST);
        glNormal3f(1, 0, 0);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        ship.Draw();
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        depthTest = glIsEnabled(GL_DEPTH_TEST);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
    });

    EXPECT_FLOAT_EQ(normal[0], 0.0f);
    EXPECT_FLOAT_EQ(normal[1], 0.0f);
    EXPECT_FLOAT_EQ(normal[2], 1.0f) << "meshes are lit with the normal (0, 0, 1)";
    EXPECT_EQ(depthTest, GL_TRUE) << "depth test is switched back on";
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(modelview[i], modelviewAfter[i]) << "matrix element " << i;

    ASSERT_GT(fed.size(), 16u) << "the mesh, then the sphere";
    for (size_t p = 16; p < fed.size(); ++p) {
        for (const FedVertex &v : fed[p].vertices) {
            const float distance = std::sqrt((v.x - 2) * (v.x - 2) + (v.y - 3) * (v.y - 3) + v.z * v.z);
            ASSERT_NEAR(distance, 0.4f, 1e-3f) << "sphere of the shield radius about the ship";
            ASSERT_NEAR(v.r, 0.8f, 1e-3f);
            ASSERT_NEAR(v.a, 0.6f, 1e-3f) << "translucent";
        }
    }
}

static void RestoreDesktop()
{
    std::fputs("desktop restored\n", stderr);
}

TEST(ShipQuadricDeathTest, ErrorIsReportedThenTheDesktopRestoredThenExitOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    quadricErrorTeardown = RestoreDesktop;
    EXPECT_EXIT(QuadricErrorCallback(GLU_INVALID_VALUE), testing::ExitedWithCode(1),
                "Quadric Error: invalid value\ndesktop restored\n");
    quadricErrorTeardown = nullptr;
}

TEST(ShipQuadricDeathTest, TheShipsQuadricReportsThroughTheCallback)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A negative radius is refused by GLU before it draws anything, so no
    // context is needed to see the callback run.
    EXPECT_EXIT(
        {
            Ship ship;
            gluSphere(ship.quadric, -1.0, 20, 20);
        },
        testing::ExitedWithCode(1), "Quadric Error: invalid value");
}
