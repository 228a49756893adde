// quarvel-bench: Google Benchmark over the game's own code. Before the
// benchmarks run, it times the steps of start-up that only the first time
// in a process shows: making the GL context, the first font (which loads
// fontconfig's configuration) and the first frame drawn (llvmpipe compiles
// or loads its shaders). They print as "cold NAME_ms VALUE".

#include <chrono>
#include <cstdio>

#include <benchmark/benchmark.h>

#include "bench_main.h"
#include "heavy_scene.h"
#include "platform/offscreen/offscreen_gl.h"
#include "render/render_state.h"
#include "shell/window.h"
#include "world/world.h"
#include "render/text.h"

bool benchGLReady = false;

GLuint MakeGameFont()
{
    // A Windows height of -24: 24-pixel characters, as the score uses.
    return CreateTextFont("Lucida Sans", -24, 4, 400, false, false, false);
}

static double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    auto start = std::chrono::steady_clock::now();
    benchGLReady = OffscreenGL_Open(800, 600);
    const double contextMs = MillisecondsSince(start);
    if (benchGLReady) {
        start = std::chrono::steady_clock::now();
        const GLuint base = MakeGameFont();
        glFinish();
        const double fontMs = MillisecondsSince(start);
        std::printf("cold gl_context_ms %.2f\ncold font_ms %.2f\n", contextMs, fontMs);
        if (base == 0)
            std::printf("cold font_failed 1\n");
        else
            glDeleteLists(base, 256);
        // The game's state for drawing: viewport, projection, fixed
        // render state, font and lights.
        ResizeViewport(800, 600);
        SetupRenderState();
        BuildFirstWave();
        start = std::chrono::steady_clock::now();
        DrawWorld();
        glFinish();
        std::printf("cold first_draw_ms %.2f\n", MillisecondsSince(start));
        ResetWorld();
    } else {
        std::fprintf(stderr, "quarvel-bench: no offscreen GL context: %s\n", OffscreenGL_Error());
    }
    std::fflush(stdout);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (benchGLReady) {
        glDeleteLists(fontListBase, 256);
        OffscreenGL_Close();
    }
    return 0;
}
