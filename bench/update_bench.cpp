// The update pass on a heavy scene, against the machine's limit for moving
// the same number of points: one matrix over one packed array.

#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "heavy_scene.h"
#include "math/matrix4.h"
#include "world/world.h"

// Passes timed from each fresh scene. Fragments live some 120 passes, so
// the twenty passes see nearly the same scene.
static constexpr int passesPerRun = 20;

// What one run of passes does to a fresh heavy scene, found by a run
// outside the clock: every rebuilt scene is the same, so every timed run is.
struct RunPlan {
    long        vertices = 0;  // points moved by matrices over the passes
    size_t      objectsAfter = 0;
    SceneCensus census;        // at the start of the run
};

static RunPlan PlanRun()
{
    RunPlan plan;
    BuildHeavyScene();
    plan.census = TakeCensus();
    for (int i = 0; i < passesPerRun; ++i) {
        plan.vertices += CountTransformedVertices();
        UpdatePass();
    }
    plan.objectsAfter = world.objects.size();
    return plan;
}

// Each iteration rebuilds the scene with the clock stopped, then times
// passesPerRun update passes of 16 ms in a row.
static void BM_UpdateWorldHeavy(benchmark::State &state)
{
    const RunPlan plan = PlanRun();
    for (auto _ : state) {
        state.PauseTiming();
        BuildHeavyScene();
        state.ResumeTiming();
        for (int i = 0; i < passesPerRun; ++i)
            UpdatePass();
    }
    if (world.objects.size() != plan.objectsAfter)
        state.SkipWithError("the heavy scene did not replay the same way");
    state.counters["passes"] = passesPerRun;
    state.counters["vertices"] = static_cast<double>(plan.vertices);
    state.counters["rocks"] = plan.census.rocks;
    state.counters["fragments"] = plan.census.fragments;
    state.counters["objects"] = plan.census.objects;
    ResetWorld();
}
BENCHMARK(BM_UpdateWorldHeavy)->Unit(benchmark::kMicrosecond);

// The same number of points per iteration as the update run above, in one
// array, each turned once about a centre as a rock's spin does, in
// passesPerRun sweeps. The turn keeps the points bounded, so no sweep
// runs into denormals however long the benchmark goes.
static void BM_TransformPointsBaseline(benchmark::State &state)
{
    const long vertices = PlanRun().vertices;
    ResetWorld();
    const size_t perSweep = static_cast<size_t>(vertices / passesPerRun);

    std::vector<Vector3> points(perSweep);
    for (size_t i = 0; i < perSweep; ++i) {
        const float t = static_cast<float>(i % 977) * 0.01f;
        points[i] = Vector3{3.0f + t, -2.0f + 0.5f * t, 0.25f * t};
    }
    const Vector3 centre{3.0f, -2.0f, 0.0f};
    Vector3 axis{0.3f, -0.5f, 0.8f};
    Normalize(axis);
    const Matrix4 spin = Product(Product(Translation(centre), Rotation(0.0251327f, axis)),
                                 Translation(Negate(centre)));

    for (auto _ : state) {
        for (int sweep = 0; sweep < passesPerRun; ++sweep) {
            for (Vector3 &point : points)
                TransformPoint(spin, point);
            benchmark::DoNotOptimize(points.data());
            benchmark::ClobberMemory();
        }
    }
    state.counters["vertices"] = static_cast<double>(perSweep * passesPerRun);
}
BENCHMARK(BM_TransformPointsBaseline)->Unit(benchmark::kMicrosecond);

// The update pass's points moved where they live, in each object's own
// array, by one ready matrix: what the scene's layout costs on its own,
// without building matrices, normalising axes or calling Update. Each
// object's points are turned as often as its Update moves them.
static void BM_TransformSceneInPlace(benchmark::State &state)
{
    BuildHeavyScene();
    const long perPass = CountTransformedVertices();
    // Looked up once: the kind of each object is no part of the cost here.
    std::vector<std::pair<Vector3 *, int>> arrays;
    for (const auto &object : world.objects)
        for (int move = 0; move < MovesPerPass(*object); ++move)
            arrays.emplace_back(object->vertices.data(), object->vertexCount);

    const Vector3 centre{0.0f, 0.0f, 0.0f};
    Vector3 axis{0.3f, -0.5f, 0.8f};
    Normalize(axis);
    const Matrix4 spin = Product(Product(Translation(centre), Rotation(0.0251327f, axis)),
                                 Translation(Negate(centre)));
    for (auto _ : state) {
        for (int sweep = 0; sweep < passesPerRun; ++sweep) {
            for (const auto &[points, count] : arrays)
                for (int i = 0; i < count; ++i)
                    TransformPoint(spin, points[i]);
            benchmark::ClobberMemory();
        }
    }
    state.counters["vertices"] = static_cast<double>(perPass * passesPerRun);
    ResetWorld();
}
BENCHMARK(BM_TransformSceneInPlace)->Unit(benchmark::kMicrosecond);

// The update pass of the first wave, as the frame-rate run plays it: the
// ship idle, four rocks drifting, a hundred stars. One pass per iteration,
// on and on; the scene stays a first wave.
static void BM_UpdateWorldFirstWave(benchmark::State &state)
{
    BuildFirstWave();
    for (auto _ : state)
        UpdatePass();
    ResetWorld();
}
BENCHMARK(BM_UpdateWorldFirstWave)->Unit(benchmark::kMicrosecond);
