#include "objects/star.h"

#include "system/opengl.h"

#include "objects/random_draws.h"
#include "objects/ship.h"
#include "objects/world_state.h"
#include "system/random.h"

// Wrap bounds of the star field: twice the playfield, 22 and 16.44.
static constexpr float starBoundX = 2.0f * playfieldX;
static constexpr float starBoundY = 2.0f * playfieldY;

static constexpr int   starCount = 100;
static constexpr float followFactor = 0.9f; // share of the ship's motion, reversed
// Grey rises in a straight line from 0.5 at depth -20 to 0.9 at depth -1;
// the slope is 0.4 / 19 rounded to a float once.
static constexpr float greySlope = 0.021052630618214607f;

Star::Star(float x, float y, float z)
{
    // No vertices: this only places position.
    Translate(x, y, z, false);
    const float grey = (z + 1.0f) * greySlope + 0.9f;
    colour = Vector3{grey, grey, grey};
}

void Star::Draw()
{
    glBegin(GL_POINTS);
    glColor3fv(&colour.x);
    glVertex3fv(&position.x);
    glEnd();
}

void Star::Update(int frameMs)
{
    // velocity is a displacement per frame, not per second.
    const Ship *ship = world.ship;
    if (ship && Length(ship->velocity) > 0.0f) {
        const float t = frameMs * -0.001f;
        const Vector3 s = Multiply(ship->velocity, followFactor);
        velocity = Multiply(s, t);
    } else {
        // Coast on the last shift, decaying by about e^-1 a second; the
        // factor stays positive for frames up to longestFrameMs.
        const float f = 1.0f - frameMs * 0.001f;
        velocity = Multiply(velocity, f);
    }

    Translate(velocity, false);

    // Wrap only while moving outwards, so a star just beyond a bound that
    // drifts back in is left alone.
    if (position.x > starBoundX && velocity.x > 0.0f)
        Translate(-2.0f * starBoundX, 0.0f, 0.0f, false);
    else if (position.x < -starBoundX && velocity.x < 0.0f)
        Translate(2.0f * starBoundX, 0.0f, 0.0f, false);
    if (position.y > starBoundY && velocity.y > 0.0f)
        Translate(0.0f, -2.0f * starBoundY, 0.0f, false);
    else if (position.y < -starBoundY && velocity.y < 0.0f)
        Translate(0.0f, 2.0f * starBoundY, 0.0f, false);
}

void CreateStarField()
{
    for (int i = 0; i < starCount; ++i) {
        // Magnitudes, depth, then the two signs: the draws keep this order.
        float x = (GameRand() % 2200) * 0.01f;
        float y = (GameRand() % 1644) * 0.01f;
        const float z = (GameRand() % 100) * 0.01f * 19.0f - 20.0f;
        x = WithRandomSign(x);
        y = WithRandomSign(y);
        AddObject(new Star(x, y, z));
    }
}
