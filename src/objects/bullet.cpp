#include "objects/bullet.h"

#include "system/opengl.h"

#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/world_state.h"

static constexpr float speed = 15.0f;   // units per second along forward
static constexpr int   lifeMs = 900;    // dies in the first update past this

Bullet::Bullet(const Ship &ship)
    : SceneObject(ship)
{
    lifetime = 0;
    world.bulletCount += 1;
    // Start at the tip of the nose, heading where the ship points now.
    position = ship.vertices[0];
    BuildPoint();
}

Bullet::~Bullet()
{
    world.bulletCount -= 1;
}

void Bullet::BuildPoint()
{
    vertexCount = 1;
    vertices.assign(1, position);
    colours.assign(1, Vector3{1.0f, 1.0f, 1.0f});
}

void Bullet::Update(int frameMs)
{
    const float distance = frameMs * 0.001f * speed;
    Translate(0.0f, 0.0f, distance, true);

    WrapAtPlayfieldEdges(*this);

    lifetime += frameMs;
    if (lifetime > lifeMs)
        dead = true;

    // A bullet that has just expired hits nothing, even inside a rock.
    // Only the end point of the step is tested.
    if (!dead) {
        if (Rock *rock = FindHitRock()) {
            dead = true;
            rock->hit = true;
        }
    }
}

Rock *Bullet::FindHitRock() const
{
    for (Rock *rock : world.rocks)
        if (rock->ContainsPoint(position))
            return rock;
    return nullptr;
}

void Bullet::Draw()
{
    glColor3f(1.0f, 1.0f, 1.0f);
    GLfloat savedSize = 1.0f;
    glGetFloatv(GL_POINT_SIZE, &savedSize);
    // Twice the picture's pixel: 2 at 800 x 600.
    glPointSize(2.0f * savedSize);
    glBegin(GL_POINTS);
    glVertex3fv(&position.x);
    glEnd();
    glPointSize(savedSize);
}
