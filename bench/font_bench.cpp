// The score font as the render set-up makes it: 256 display lists, glyphs
// 0..254 rendered by FreeType and compiled as glBitmap calls. The first
// make in a process is timed by bench_main; this is every make after it,
// with fontconfig's configuration already loaded.

#include "system/opengl.h"
#include <benchmark/benchmark.h>

#include "bench_main.h"

static void BM_CreateTextFontWarm(benchmark::State &state)
{
    if (!benchGLReady) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        const GLuint base = MakeGameFont();
        glFinish();
        state.PauseTiming();
        if (base == 0)
            state.SkipWithError("no display lists for the font");
        glDeleteLists(base, 256);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateTextFontWarm)->Unit(benchmark::kMillisecond)->UseRealTime();
