// Takes the README's screenshot the way the end-to-end tests see the game:
// the real quarvel in a private Xvfb, played through the X server for a few
// seconds until a shot hits, the screen read back with XGetImage.
//
//   quarvel_screenshot docs/screenshot.png

#include <chrono>
#include <cstdio>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/keysym.h>

#include "game_process.h"
#include "x_server.h"
#include "x_session.h"

using Clock = std::chrono::steady_clock;

static void Wait(int milliseconds)
{
    poll(nullptr, 0, milliseconds);
}

static void HoldFor(Display *display, KeySym key, int milliseconds)
{
    PressKey(display, key);
    Wait(milliseconds);
    ReleaseKey(display, key);
}

// Whether the score text differs: its white pixels moved. Rocks drifting
// through the corner are never white.
static bool ScoreChanged(const Picture &before, const Picture &after, const Box &corner)
{
    for (int y = corner.top; y < corner.bottom; ++y)
        for (int x = corner.left; x < corner.right; ++x)
            if (IsWhite(before.At(x, y)) != IsWhite(after.At(x, y)))
                return true;
    return false;
}

// ImageMagick turns the PPM into the PNG.
static bool Convert(const std::string &from, const std::string &to)
{
    const pid_t child = fork();
    if (child == 0) {
        execlp("convert", "convert", from.c_str(), to.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];

    XServer server;
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "quarvel_screenshot: %s\n", error.c_str());
        return 1;
    }
    Display *display = server.Connection();
    GameProcess game(server.DisplayName());
    if (!game.Started() || WaitForGameWindow(display, game, 15000) == None) {
        std::fprintf(stderr, "quarvel_screenshot: no game window; %s\n", game.Describe().c_str());
        return 1;
    }

    // Sweep the guns round until the score changes: a rock was hit. Then a
    // moment more, while the debris flies and the explosion light glows.
    const Box scoreCorner{0, 560, 300, 600};
    WaitForFrames(display, 3, 10000);
    const Picture start = ReadScreen(display);
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(30);
    bool hit = false;
    while (!hit && Clock::now() < giveUp) {
        HoldFor(display, XK_Left, 40);
        HoldFor(display, XK_space, 30);
        hit = ScoreChanged(start, ReadScreen(display), scoreCorner);
    }
    HoldFor(display, XK_space, 30);
    Wait(250);
    const Picture screen = ReadScreen(display);

    PressKey(display, XK_Escape);
    game.WaitForExit(15000);
    ReleaseKey(display, XK_Escape);

    const std::string ppm = "/tmp/quarvel-screenshot-" + std::to_string(getpid()) + ".ppm";
    const bool written = screen.WritePpm(ppm) && Convert(ppm, output);
    unlink(ppm.c_str());
    if (!written) {
        std::fprintf(stderr, "quarvel_screenshot: could not write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %s\n", output.c_str(), screen.width, screen.height,
                hit ? "after a hit" : "no hit within 30 s");
    return 0;
}
