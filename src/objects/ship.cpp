#include "objects/ship.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "system/opengl.h"

#include "math/matrix4.h"
#include "objects/bullet.h"
#include "objects/fragment.h"
#include "objects/random_draws.h"
#include "objects/rock.h"
#include "objects/world_state.h"
#include "system/clock.h"
#include "system/debug_log.h"
#include "system/key_state.h"
#include "system/random.h"
#include "system/shield_keys.h"
#include "system/virtual_keys.h"

bool fireLatch = false;
void (*quadricErrorTeardown)() = nullptr;

// Flight constants. Times are in seconds (frameMs x 0.001), speeds in
// units per second.
static constexpr float halfTurn = 1.5707964f;    // pi/2 as a float
static constexpr float turnRate = 5.5850534f;    // 320 degrees per second
static constexpr float thrust = 8.0f;            // units per second squared
static constexpr float drag = 0.4f;              // share of the velocity lost per second
static constexpr float speedCap = 10.0f;         // only while thrusting
static constexpr float stopSpeed = 0.3f;         // coasting below this stops dead
static constexpr float normalRadius = 0.3f;
static constexpr float shieldRadius = 0.4f;
static constexpr uint32_t hyperspaceMs = 1000;   // the jump lasts longer than this

static bool KeyDown(unsigned key)
{
    return KeyState[key] != 0;
}

static bool ShieldKeyDown()
{
    for (unsigned char key : shieldKeys)
        if (KeyDown(key))
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

Ship::Ship()
{
    radius = normalRadius;
    quadric = gluNewQuadric();
    if (!quadric)
        throw std::bad_alloc();
    mass = 1.3f;
    state = ShipState::Normal;
    hyperspaceStart = 0;

    BuildVertices();
    BuildFaces();

    // The cone is built nose along +z; stand it up so the nose points up
    // the screen and side points into it.
    ApplyTransform(Rotation(halfTurn, Vector3{0.0f, 1.0f, 0.0f}), true);
    ApplyTransform(Rotation(-halfTurn, side), true);

    gluQuadricCallback(quadric, GLU_ERROR, reinterpret_cast<GluCallback>(QuadricErrorCallback));
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
}

Ship::~Ship()
{
    if (quadric)
        gluDeleteQuadric(quadric);
}

void Ship::BuildVertices()
{
    // Nose, base centre, then the rim counter-clockwise about +z from +x.
    static const Vector3 directions[10] = {
        {0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
        {-1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}, {0, -1, 0}, {1, -1, 0},
    };

    vertexCount = 10;
    vertices.assign(vertexCount, Vector3{});
    colours.assign(vertexCount, Vector3{});
    for (int i = 0; i < vertexCount; ++i) {
        vertices[i] = directions[i];
        Normalize(vertices[i]);
        const float grey = (GameRand() % 40 + 40) * 0.01f;
        colours[i] = Vector3{grey, grey, grey};
    }
    Scale(0.4f, true);

    // Pull the shape back along forward but keep position where it was:
    // the ship turns about a point 0.15 ahead of its base.
    Translate(0.0f, 0.0f, -0.15f, true);
    position = Vector3{};
}

void Ship::BuildFaces()
{
    // Eight sides from the nose, then eight base triangles from the base
    // centre; all counter-clockwise seen from outside.
    static const Triangle table[16] = {
        {0, 9, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5},
        {0, 5, 6}, {0, 6, 7}, {0, 7, 8}, {0, 8, 9},
        {1, 2, 9}, {1, 9, 8}, {1, 8, 7}, {1, 7, 6},
        {1, 6, 5}, {1, 5, 4}, {1, 4, 3}, {1, 3, 2},
    };
    SetFaces(16, table);

    // Rim from 0.4 to 0.3, length along the nose axis (still z) by half.
    Scale(0.75f, 0.75f, 1.5f, true);
}

// ---------------------------------------------------------------------------
// Thinking
// ---------------------------------------------------------------------------

// The steps of an update, in the order Update takes them. dt is the frame
// time in seconds; keys are read from KeyState.

// The ship loses drag's share of its velocity every second, in every mode.
static void ApplyDrag(Ship &ship, float dt)
{
    ship.velocity = Subtract(ship.velocity, Multiply(ship.velocity, dt * drag));
}

// Anywhere in the playfield, at rest: magnitudes in hundredths up to
// playfieldX and playfieldY, then the two signs. The draws keep this order.
static void JumpToHyperspace(Ship &ship)
{
    ship.hyperspaceStart = timeGetTime();
    ship.state = ShipState::Hyperspace;
    float x = (GameRand() % 1100) * 0.01f;
    float y = (GameRand() % 822) * 0.01f;
    x = WithRandomSign(x);
    y = WithRandomSign(y);
    ship.Translate(Negate(ship.position), false);
    ship.Translate(x, y, 0.0f, false);
    ship.velocity = Vector3{};
}

// At most one change of mode per update: the shield goes up or down, or
// Down jumps into hyperspace.
static void ChangeMode(Ship &ship)
{
    if (ship.state == ShipState::Normal && ShieldKeyDown()) {
        ship.state = ShipState::Shield;
        ship.radius = shieldRadius;
    } else if (ship.state == ShipState::Shield && !ShieldKeyDown()) {
        ship.state = ShipState::Normal;
        ship.radius = normalRadius;
    } else if (KeyDown(VK_DOWN) && ship.state == ShipState::Normal) {
        JumpToHyperspace(ship);
    }
}

// The wait is wall-clock time.
static void LeaveHyperspaceWhenDue(Ship &ship)
{
    if (timeGetTime() - ship.hyperspaceStart > hyperspaceMs) {
        ship.state = ShipState::Normal;
        ship.hyperspaceStart = 0;
    }
}

// Up thrusts along forward up to the speed cap; without it a ship slower
// than stopSpeed stops dead.
static void Thrust(Ship &ship, float dt)
{
    if (KeyDown(VK_UP)) {
        ship.velocity = Add(ship.velocity, Multiply(Multiply(ship.forward, thrust), dt));
        if (Length(ship.velocity) > speedCap) {
            Normalize(ship.velocity);
            ship.velocity = Multiply(ship.velocity, speedCap);
        }
    } else if (Length(ship.velocity) < stopSpeed) {
        ship.velocity = Vector3{};
    }
}

// side points into the screen, so a negative angle turns the nose
// counter-clockwise on screen. Left wins over Right.
static Matrix4 Turn(const Ship &ship, float dt)
{
    if (KeyDown(VK_LEFT))
        return Rotation(dt * -turnRate, ship.side);
    if (KeyDown(VK_RIGHT))
        return Rotation(dt * turnRate, ship.side);
    return Identity();
}

// Turn about the centre first, then move; then wrap at the edges.
static void MoveAndWrap(Ship &ship, const Matrix4 &turn, float dt)
{
    const Matrix4 move = Product(Translation(Multiply(ship.velocity, dt)), turn);
    ship.ApplyTransform(move, true);
    WrapAtPlayfieldEdges(ship);
}

// One press, one shot; a press held while maxBullets bullets fly fires as
// soon as one of them is gone. The shield cannot fire.
static void Fire(Ship &ship)
{
    if (ship.state == ShipState::Normal && !fireLatch && KeyDown(VK_SPACE) &&
        world.bulletCount < maxBullets) {
        fireLatch = true;
        AddObject(new Bullet(ship));
    } else if (!KeyDown(VK_SPACE)) {
        fireLatch = false;
    }
}

// Only the first touching rock in list order counts: it destroys a bare
// ship and bounces off the shield.
static void TouchRocks(Ship &ship, float dt)
{
    for (Rock *rock : world.rocks) {
        if (Length(Subtract(ship.position, rock->position)) < rock->radius + ship.radius) {
            if (ship.state == ShipState::Normal) {
                rock->hit = true;
                // Marks this ship dead and clears world.ship; the world
                // destroys it right after this update.
                DestroyShip(ship);
            } else {
                DebugLog("Bounce");
                ElasticBounce(ship, *rock);
                // Step clear of the rock with the new velocity.
                ship.Translate(Multiply(ship.velocity, dt), false);
            }
            break;
        }
    }
}

void Ship::Update(int frameMs)
{
    const float dt = frameMs * 0.001f;

    // Drag works in every mode, also while jumping.
    ApplyDrag(*this, dt);
    // Shield up or down, or a jump.
    ChangeMode(*this);

    // Jumping: nothing moves, fires or collides, not even in the update
    // that comes out of the jump.
    if (state == ShipState::Hyperspace) {
        LeaveHyperspaceWhenDue(*this);
        return;
    }

    // Up thrusts, coasting slowly stops.
    Thrust(*this, dt);
    // Left or Right turns the ship about its centre before the move.
    MoveAndWrap(*this, Turn(*this, dt), dt);
    // Space fires.
    Fire(*this);
    // A touching rock destroys the ship or bounces off the shield.
    TouchRocks(*this, dt);
}

void ElasticBounce(SceneObject &ship, SceneObject &rock)
{
    // Whole vectors, not the component along the line of centres. The
    // ship counts in units per second and a rock in units per 500 ms; the
    // values are exchanged as stored.
    const float m = ship.mass;
    const float M = rock.mass;
    const Vector3 u = ship.velocity;
    const Vector3 w = rock.velocity;
    ship.velocity = Divide(Add(Multiply(u, m - M), Multiply(w, 2.0f * M)), m + M);
    rock.velocity = Divide(Add(Multiply(w, M - m), Multiply(u, 2.0f * m)), m + M);
}

// ---------------------------------------------------------------------------
// Presenting
// ---------------------------------------------------------------------------

void Ship::Draw()
{
    if (state == ShipState::Hyperspace)
        return;

    MeshObject::Draw();

    if (state == ShipState::Shield) {
        // A lit, translucent sphere over whatever is already drawn.
        glPushMatrix();
        glDisable(GL_DEPTH_TEST);
        glTranslatef(position.x, position.y, position.z);
        glColor4f(0.8f, 0.8f, 0.8f, 0.6f);
        gluSphere(quadric, radius, 20, 20);
        // The sphere is the only thing that sends normals; meshes are lit
        // with (0, 0, 1), so put it back.
        glNormal3f(0.0f, 0.0f, 1.0f);
        glEnable(GL_DEPTH_TEST);
        glPopMatrix();
    }
}

void QuadricErrorCallback(GLenum code)
{
    const GLubyte *text = gluErrorString(code);
    std::fprintf(stderr, "Quadric Error: %s\n",
                 text ? reinterpret_cast<const char *>(text) : "unknown GLU error");
    if (quadricErrorTeardown)
        quadricErrorTeardown();
    std::exit(1);
}
