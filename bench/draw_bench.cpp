// The draw pass in an offscreen Mesa context (llvmpipe): every object in
// immediate mode, then glFinish so the rasteriser's work is counted too.

#include "system/opengl.h"
#include <benchmark/benchmark.h>

#include "bench_main.h"
#include "heavy_scene.h"
#include "objects/explosion_light.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "world/world.h"
#include "render/text.h"

static void DrawFrames(benchmark::State &state)
{
    for (auto _ : state) {
        DrawWorld();
        glFinish();
    }
    const SceneCensus census = TakeCensus();
    state.counters["rocks"] = census.rocks;
    state.counters["fragments"] = census.fragments;
    state.counters["objects"] = census.objects;
}

static void BM_DrawWorldHeavy(benchmark::State &state)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    BuildHeavyScene();
    DrawFrames(state);
    ResetWorld();
}
BENCHMARK(BM_DrawWorldHeavy)->Unit(benchmark::kMicrosecond)->UseRealTime();

static void BM_DrawWorldFirstWave(benchmark::State &state)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    BuildFirstWave();
    DrawFrames(state);
    ResetWorld();
}
BENCHMARK(BM_DrawWorldFirstWave)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The least a frame costs in this context: the clear that DrawWorld
// starts with, finished.
static void BM_ClearOnly(benchmark::State &state)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
    }
}
BENCHMARK(BM_ClearOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Where a first-wave frame goes: DrawWorld's frame (clear, camera, the
// seven lights) with only one kind of object drawn, or only the score.
enum class Part { LightsOnly, Stars, Rocks, Ship, Score };

static bool InPart(const SceneObject *object, Part part)
{
    switch (part) {
    case Part::Stars: return dynamic_cast<const Star *>(object) != nullptr;
    case Part::Rocks: return dynamic_cast<const Rock *>(object) != nullptr;
    case Part::Ship: return dynamic_cast<const Ship *>(object) != nullptr;
    default: return false;
    }
}

static void DrawPart(Part part)
{
    // The camera as DrawWorld places it, 20 units in front of the plane.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -20.0f);
    for (const auto &object : world.objects)
        if (dynamic_cast<const ExplosionLight *>(object.get()) || InPart(object.get(), part))
            object->Draw();
    if (part == Part::Score) {
        glColor3f(1.0f, 1.0f, 1.0f);
        PrintText(fontListBase, 3, 3, "Score: %u", world.score);
    }
    glPopMatrix();
}

static void BM_DrawFirstWavePart(benchmark::State &state, Part part)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    BuildFirstWave();
    for (auto _ : state) {
        DrawPart(part);
        glFinish();
    }
    ResetWorld();
}
BENCHMARK_CAPTURE(BM_DrawFirstWavePart, lights, Part::LightsOnly)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFirstWavePart, stars, Part::Stars)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFirstWavePart, rocks, Part::Rocks)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFirstWavePart, ship, Part::Ship)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFirstWavePart, score, Part::Score)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();

// What the fixed render state costs llvmpipe: DrawWorld with one piece of
// it switched off around the call. None of these is how the game draws;
// they only show where a frame's time goes.
enum class Without { ExplosionLights, Blending, PointSmoothing };

static void DrawWorldWithout(Without what)
{
    switch (what) {
    case Without::ExplosionLights:
        // A light that is not enabled switches itself off in its Draw.
        for (ExplosionLight *light : world.lights)
            light->enabled = false;
        break;
    case Without::Blending: glDisable(GL_BLEND); break;
    case Without::PointSmoothing: glDisable(GL_POINT_SMOOTH); break;
    }
    DrawWorld();
    glFinish();
    switch (what) {
    case Without::ExplosionLights:
        for (ExplosionLight *light : world.lights)
            light->enabled = true;
        break;
    case Without::Blending: glEnable(GL_BLEND); break;
    case Without::PointSmoothing: glEnable(GL_POINT_SMOOTH); break;
    }
}

static void BM_DrawWithout(benchmark::State &state, bool heavy, Without what)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    if (heavy)
        BuildHeavyScene();
    else
        BuildFirstWave();
    for (auto _ : state)
        DrawWorldWithout(what);
    ResetWorld();
}
BENCHMARK_CAPTURE(BM_DrawWithout, heavy_lights, true, Without::ExplosionLights)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawWithout, heavy_blend, true, Without::Blending)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawWithout, first_lights, false, Without::ExplosionLights)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawWithout, first_blend, false, Without::Blending)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawWithout, first_point_smooth, false, Without::PointSmoothing)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
