#include "world/world.h"

#include "system/opengl.h"

#include "objects/random_draws.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "render/render_state.h"
#include "render/text.h"
#include "system/clock.h"
#include "system/random.h"

void NewGame()
{
    world.ship = new Ship();
    AddObject(world.ship);
    world.bulletCount = 0;
    SpawnWave();
    // The lights exist by now; this only sets the fixed light state again.
    SetupLighting();
    CreateStarField();
}

void SpawnWave()
{
    for (int i = 0; i < world.rocksPerWave; ++i) {
        // Far enough from the centre that the ship starts clear: |x| from
        // 5.5 and |y| from 4.11. The draws come before the rock's own.
        float x = static_cast<float>(GameRand() % 5) + 5.5f;
        float y = static_cast<float>(GameRand() % 4) + 4.11f;
        x = WithRandomSign(x);
        y = WithRandomSign(y);
        Rock *rock = new Rock(x, y, 0.0f);
        AddObject(rock);
        world.rocks.push_back(rock);
    }
    world.rocksPerWave += 2;
}

// A new ship appears once 2000 ms of wall-clock time have passed since the
// loss was noticed and no rock is within 2.74 of the centre.
static void RespawnStep()
{
    if (!world.ship && world.respawnTimer == World::idleTimer) {
        world.respawnTimer = timeGetTime();
        return;
    }
    if (world.respawnTimer == World::idleTimer)
        return;

    const uint32_t elapsed = timeGetTime() - world.respawnTimer;
    if (elapsed <= 2000)
        return;
    for (const Rock *rock : world.rocks) {
        if (Length(rock->position) < 2.74f)
            return;
    }
    world.respawnTimer = World::idleTimer;
    world.ship = new Ship();
    AddObject(world.ship);
}

void UpdateWorld(int frameMs)
{
    RespawnStep();
    if (world.rocks.empty())
        SpawnWave();

    // The length is read before every step: objects appended during the
    // walk (bullets, split-off rocks, fragments) are updated in this pass.
    for (size_t i = 0; i < world.objects.size();) {
        SceneObject *object = world.objects[i].get();
        object->Update(frameMs);
        if (object->dead)
            world.objects.erase(world.objects.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

void DrawWorld()
{
    ClearPicture();
    glLoadIdentity();
    glPushMatrix();
    // The camera stands 20 units in front of the playfield plane z = 0.
    glTranslatef(0.0f, 0.0f, -20.0f);
    for (const auto &object : world.objects)
        object->Draw();
    glColor3f(1.0f, 1.0f, 1.0f);
    PrintText(fontListBase, 3, 3, "Score: %u", world.score);
    glPopMatrix();
}

void ClearWorld()
{
    while (!world.objects.empty())
        world.objects.pop_back();
}

void ResetWorld()
{
    ClearWorld();
    world.rocks.clear();
    world.lights.clear();
    world.ship = nullptr;
    world.bulletCount = 0;
    world.lightIndex = 0;
    world.score = 0;
    world.rocksPerWave = 4;
    world.respawnTimer = World::idleTimer;
    fireLatch = false;
}
