#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "expect_vector.h"
#include "gl_test.h"
#include "headless/headless_game.h"
#include "math/matrix4.h"
#include "objects/bullet.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "system/random.h"
#include "world/world.h"
#include "world_objects.h"

static void ResetGame()
{
    ResetHeadlessWorld();
    GameSrand(11);
}

static Rock *AddRock(Vector3 at, float radius)
{
    Rock *rock = AddRock(at);
    rock->radius = radius;
    return rock;
}

// A bullet at a chosen place flying along a chosen direction.
static Bullet *AddBullet(const Ship &ship, Vector3 at, Vector3 heading)
{
    Bullet *bullet = new Bullet(ship);
    bullet->position = at;
    bullet->forward = heading;
    bullet->BuildPoint();
    AddObject(bullet);
    return bullet;
}

class BulletTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGame(); }
    void TearDown() override
    {
        ResetWorld();
        SetClockSource(nullptr);
    }
};

using BulletLife = BulletTest;
using BulletHit = BulletTest;
using BulletWrap = BulletTest;

TEST_F(BulletLife, StartsAtTheNoseHeadingWhereTheShipPointsAndIsCounted)
{
    Ship ship;
    ship.ApplyTransform(Rotation(0.7f, ship.side), true);
    ship.Translate(3, -2, 0, false);
    ship.velocity = {5, 5, 0};

    Bullet *bullet = new Bullet(ship);
    EXPECT_EQ(world.bulletCount, 1);
    EXPECT_EQ(bullet->position.x, ship.vertices[0].x) << "starts at the tip of the nose";
    EXPECT_EQ(bullet->position.y, ship.vertices[0].y);
    EXPECT_EQ(bullet->forward.x, ship.forward.x) << "heads where the ship points";
    EXPECT_EQ(bullet->forward.y, ship.forward.y);
    EXPECT_EQ(Length(bullet->velocity), 0.0f) << "the ship's own motion is not inherited";
    EXPECT_EQ(bullet->lifetime, 0);
    EXPECT_FALSE(bullet->dead);
    ASSERT_EQ(bullet->vertexCount, 1);
    ASSERT_EQ(bullet->vertices.size(), 1u);
    ASSERT_EQ(bullet->colours.size(), 1u);
    EXPECT_EQ(bullet->vertices[0].x, bullet->position.x);
    EXPECT_EQ(bullet->vertices[0].y, bullet->position.y);
    EXPECT_EQ(bullet->colours[0].x + bullet->colours[0].y + bullet->colours[0].z, 3.0f)
        << "white";

    bullet->Update(100);
    EXPECT_NEAR(bullet->position.x, ship.vertices[0].x + ship.forward.x * 1.5f, tolerance)
        << "1.5 units along the heading in 100 ms";
    EXPECT_NEAR(bullet->position.y, ship.vertices[0].y + ship.forward.y * 1.5f, tolerance);
    EXPECT_EQ(bullet->vertices[0].x, bullet->position.x) << "the point moves with it";

    Bullet *second = new Bullet(ship);
    EXPECT_EQ(world.bulletCount, 2);
    delete bullet;
    EXPECT_EQ(world.bulletCount, 1) << "destroying a bullet frees its slot";
    delete second;
    EXPECT_EQ(world.bulletCount, 0);
}

// Updates until the bullet dies; returns how many updates that took.
static int FlyUntilDead(Bullet &bullet, int frameMs)
{
    int updates = 0;
    while (!bullet.dead && updates < 1000) {
        bullet.Update(frameMs);
        ++updates;
    }
    return updates;
}

TEST_F(BulletLife, LivesJustPastNineHundredMilliseconds)
{
    // From (0, -7.5) the flight stays clear of the top edge.
    Ship ship;
    ship.Translate(0, -7.5f, 0, false);

    Bullet *steady = AddBullet(ship, ship.vertices[0], ship.forward);
    EXPECT_EQ(FlyUntilDead(*steady, 16), 57) << "912 ms is the first total past 900";
    EXPECT_NEAR(steady->position.y - ship.vertices[0].y, 13.68f, 1e-4f);
    EXPECT_EQ(steady->lifetime, 912);

    Bullet *slow = AddBullet(ship, ship.vertices[0], ship.forward);
    EXPECT_EQ(FlyUntilDead(*slow, 200), 5) << "in steps of 3 units";
    EXPECT_NEAR(slow->position.y - ship.vertices[0].y, 15.0f, 1e-4f);
}

TEST_F(BulletHit, OnlyALiveBulletHitsAndItDiesDoingSo)
{
    Ship ship;
    Rock *rock = AddRock({0, 0.615f, 0}, 0.5f);

    // 885 + 16 passes 900: the bullet expires in this update, inside the
    // rock, and hits nothing.
    Bullet *expiring = AddBullet(ship, ship.vertices[0], ship.forward);
    expiring->lifetime = 885;
    expiring->Update(16);
    EXPECT_TRUE(expiring->dead);
    EXPECT_FALSE(rock->hit) << "no hit in the update that ends its life";

    // 884 + 16 is exactly 900: still alive, so it hits.
    Bullet *last = AddBullet(ship, ship.vertices[0], ship.forward);
    last->lifetime = 884;
    last->Update(16);
    EXPECT_TRUE(rock->hit);
    EXPECT_TRUE(last->dead) << "a bullet dies in the rock it hits";
}

TEST_F(BulletHit, FirstRockInListOrderWinsAndTheRimIsOutside)
{
    Ship ship;
    Rock *first = AddRock({2.2f, 1, 0}, 0.5f);
    Rock *second = AddRock({1.8f, 1, 0}, 0.5f);
    Bullet *bullet = AddBullet(ship, {2, 1, 0}, {0, 1, 0});
    bullet->Update(0);
    EXPECT_TRUE(first->hit);
    EXPECT_FALSE(second->hit) << "inside both, only the first of world.rocks is hit";
    EXPECT_EQ(bullet->FindHitRock(), first);

    ResetWorld();
    Rock *rim = AddRock({1, 1.5f, 0}, 0.5f);
    Bullet *grazing = AddBullet(ship, {1, 1, 0}, {0, 1, 0});
    grazing->Update(0);
    EXPECT_FALSE(rim->hit) << "exactly radius away is outside";
    EXPECT_FALSE(grazing->dead);
    EXPECT_EQ(grazing->FindHitRock(), nullptr);

    rim->radius = std::nextafter(0.5f, 1.0f);
    grazing->Update(0);
    EXPECT_TRUE(rim->hit) << "one step inside the radius is a hit";
}

TEST_F(BulletWrap, PastAnEdgeComesBackOnTheOtherSideStillFlying)
{
    Ship ship;
    Bullet *right = AddBullet(ship, {10.96f, 0, 0}, {1, 0, 0});
    right->Update(16);
    EXPECT_NEAR(right->position.x, -10.8f, tolerance) << "11.2 wraps to -10.8";
    EXPECT_NEAR(right->vertices[0].x, -10.8f, tolerance) << "the point wraps with it";
    right->Update(16);
    EXPECT_NEAR(right->position.x, -10.56f, tolerance) << "and flies on the same way";

    Bullet *down = AddBullet(ship, {0, -8.1f, 0}, {0, -1, 0});
    down->Update(16);
    EXPECT_NEAR(down->position.y, 8.1f, tolerance) << "-8.34 wraps to 8.1";

    Bullet *onEdge = AddBullet(ship, {10.76f, 0, 0}, {1, 0, 0});
    onEdge->Update(16);
    EXPECT_NEAR(onEdge->position.x, 11.0f, tolerance) << "up to 11 is inside";
}

class BulletDraw : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        ResetGame();
    }
    void TearDown() override { ResetWorld(); }
};

TEST_F(BulletDraw, OneWhitePointAtItsPosition)
{
    Ship ship;
    Bullet *bullet = AddBullet(ship, {1.5f, -2.5f, 0}, {0, 1, 0});
    const auto fed = CaptureFeedback([&] {
        glColor3f(0.2f, 0.3f, 0.4f);
        bullet->Draw();
    });
    ASSERT_EQ(fed.size(), 1u);
    ASSERT_EQ(fed[0].kind, static_cast<GLenum>(GL_POINT_TOKEN));
    EXPECT_NEAR(fed[0].vertices[0].x, 1.5f, 1e-4f);
    EXPECT_NEAR(fed[0].vertices[0].y, -2.5f, 1e-4f);
    EXPECT_FLOAT_EQ(fed[0].vertices[0].r, 1.0f) << "white whatever the current colour";
    EXPECT_FLOAT_EQ(fed[0].vertices[0].g, 1.0f);
    EXPECT_FLOAT_EQ(fed[0].vertices[0].b, 1.0f);
}

TEST_F(BulletDraw, PointIsTwoOfThePicturesPixelsWideAndThePointSizeIsPutBack)
{
    Ship ship;
    // One pixel per unit; a point on a pixel corner covers exactly
    // size x size pixels.
    Bullet *bullet = AddBullet(ship, {100, 100, 0}, {0, 1, 0});
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_POINT_SMOOTH);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    // The render state's point size is one of the picture's pixels: 3 in
    // a picture three times 800 x 600.
    glPointSize(3.0f);
    bullet->Draw();
    GLfloat sizeAfter = 0.0f;
    glGetFloatv(GL_POINT_SIZE, &sizeAfter);
    std::vector<unsigned char> pixels(20 * 20 * 4);
    glReadPixels(90, 90, 20, 20, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();

    EXPECT_EQ(sizeAfter, 3.0f) << "the caller's point size is restored";
    int lit = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
        lit += pixels[i] > 128 ? 1 : 0;
    EXPECT_EQ(lit, 36) << "a point of size 6 covers 6 x 6 pixels";
}
