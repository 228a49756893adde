// quarvel-bare-loop: the fastest frame an 800 x 600 OpenGL window can have
// on this display. It asks for the window the game asks for (full screen,
// double-buffered RGBA, 16-bit depth, no swap interval) and then only
// clears and swaps, so the game's frame rate can be read against it.
//
//   quarvel-bare-loop [--seconds S] [--windowed] [--yield] [--grey]
//
// --yield gives up the processor after each swap as the game's frame does
// (Sleep(0)); --grey clears to grey instead of black, so that a probe
// watching the screen sees the first frame. Prints "frames N", "ms N" and
// "fps X" on stdout.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>
#include <SDL.h>
#include <sched.h>

static const char *const usage =
    "usage: quarvel-bare-loop [--seconds S] [--windowed] [--yield] [--grey]";

int main(int argc, char **argv)
{
    double seconds = 5.0;
    bool fullscreen = true;
    bool yield = false;
    float grey = 0.0f;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) {
            fullscreen = false;
        } else if (std::strcmp(argv[i], "--yield") == 0) {
            yield = true;
        } else if (std::strcmp(argv[i], "--grey") == 0) {
            grey = 0.5f;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            char *end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(seconds > 0.0 && seconds <= 3600.0)) {
                std::fprintf(stderr, "quarvel-bare-loop: --seconds needs 0 < S <= 3600; %s\n",
                             usage);
                return 2;
            }
        } else {
            std::fprintf(stderr, "quarvel-bare-loop: unknown argument %s; %s\n", argv[i], usage);
            return 2;
        }
    }

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "quarvel-bare-loop: SDL video: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    const Uint32 flags = SDL_WINDOW_OPENGL | (fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
    SDL_Window *window = SDL_CreateWindow("Quarvel bare loop", 0, 0, 800, 600, flags);
    if (!window) {
        std::fprintf(stderr, "quarvel-bare-loop: window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        std::fprintf(stderr, "quarvel-bare-loop: GL context: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        SDL_Quit();
        return 1;
    }
    // Under Xvfb there is no swap control; where there is, no waiting for
    // the vertical blank, as the game asks.
    SDL_GL_SetSwapInterval(0);
    glViewport(0, 0, 800, 600);
    glClearColor(grey, grey, grey, 1.0f);

    // One frame before the clock starts: the first swap pays for setting up
    // the back buffer, which the game's counted frames do not.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(window);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto stop = start + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(seconds));
    long frames = 0;
    bool closed = false;
    auto now = start;
    while (now < stop && !closed) {
        // A program with a window empties its queue every frame; so does
        // the game.
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT)
                closed = true;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapWindow(window);
        if (yield)
            sched_yield();
        ++frames;
        now = Clock::now();
    }

    const double ms = std::chrono::duration<double, std::milli>(now - start).count();
    std::printf("frames %ld\nms %.0f\nfps %.1f\n", frames, ms, frames / (ms * 0.001));

    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
