// quarvel-compositor-pace: the frame-pacing run of bench/run.sh (the first
// waves played in the autoplay rhythm, F1 to a window and back) on a
// headless mutter of its own, natively (SDL's Wayland driver, keys through
// mutter's RemoteDesktop D-Bus API) or through its XWayland (SDL's X11
// driver, keys through XTest). It writes the same events file as
// quarvel-probe pace, for bench/pacing.awk.
//
//   quarvel-compositor-pace --way native|xwayland --events FILE --stderr FILE
//       [--seconds S] [--f1 S] [--output WxH] [--scale N]
//       [--preload LIB --stamps FILE]
//
// The game is the one built here; LIB is preloaded into it with
// QUARVEL_FRAME_STAMPS=FILE. mutter's one output is WxH device pixels at
// scale N (1280x1024 at 1 unless said); --f1 0 presses no F1. Exit code 2
// when mutter is not installed.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "autoplay.h"
#include "child_process.h"
#include "compositor.h"
#include "compositor_keys.h"
#include "game_process.h"

static constexpr double f1HoldMs = 30.0;
static constexpr double f1BackMs = 2000.0;
static constexpr int startMs = 20000;

int main(int argc, char **argv)
{
    std::string way = "native", eventsPath, stderrPath, preload, stamps;
    double seconds = 14.0, f1At = 9.0;
    // The output its figures were first taken on
    Compositor::Output output{1280, 1024, 1};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char *value = argv[i + 1];
        if (option == "--way")
            way = value;
        else if (option == "--events")
            eventsPath = value;
        else if (option == "--stderr")
            stderrPath = value;
        else if (option == "--seconds")
            seconds = std::atof(value);
        else if (option == "--f1")
            f1At = std::atof(value);
        else if (option == "--output" || option == "--scale") {
            const bool read = option == "--output"
                                  ? std::sscanf(value, "%dx%d", &output.width, &output.height) == 2
                                  : (output.scale = std::atoi(value)) > 0;
            if (!read) {
                std::fprintf(stderr, "quarvel-compositor-pace: bad %s %s\n", argv[i], value);
                return 1;
            }
        }
        else if (option == "--preload")
            preload = value;
        else if (option == "--stamps")
            stamps = value;
        else {
            std::fprintf(stderr, "quarvel-compositor-pace: unknown option %s\n", argv[i]);
            return 1;
        }
    }
    if (eventsPath.empty() || (way != "native" && way != "xwayland")) {
        std::fprintf(stderr, "usage: quarvel-compositor-pace --way native|xwayland --events FILE "
                             "--stderr FILE [--seconds S] [--f1 S] [--output WxH] [--scale N] "
                             "[--preload LIB --stamps FILE]\n");
        return 1;
    }
    const bool native = way == "native";
    Compositor mutter(Compositor::Kind::Mutter, output);
    if (!mutter.MissingPrograms().empty()) {
        std::fprintf(stderr, "quarvel-compositor-pace: mutter is not installed\n");
        return 2;
    }
    std::string error;
    if (!mutter.Start(error)) {
        std::fprintf(stderr, "quarvel-compositor-pace: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<CompositorKeys> keys = OpenCompositorKeys(mutter, native, error);
    if (!keys) {
        std::fprintf(stderr, "quarvel-compositor-pace: no keyboard: %s\n", error.c_str());
        return 1;
    }
    FILE *events = std::fopen(eventsPath.c_str(), "w");
    if (!events)
        return 1;

    std::vector<std::string> environment = mutter.SessionEnvironment();
    environment.push_back(std::string("SDL_VIDEODRIVER=") + (native ? "wayland" : "x11"));
    environment.push_back("QUARVEL_VIDEO_LOG=1");
    std::vector<std::string> launcher;
    if (!preload.empty())
        launcher = {"env", "LD_PRELOAD=" + preload, "QUARVEL_FRAME_STAMPS=" + stamps};
    GameProcess game(mutter.XDisplayName(), environment, launcher);
    // Its window has the keyboard: the game says so in its video log
    const double deadline = NowMs() + startMs;
    while (game.Stderr().find("video: keyboard") == std::string::npos && NowMs() < deadline &&
           !game.WaitForExit(0))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::fprintf(events, "mapped %.0f\n", NowMs() * 1e6);

    std::string failed;
    AutoPlayer player(
        [&keys, &failed](int evdev, bool down) {
            std::string why;
            if (!keys->Key(evdev, down, why) && failed.empty())
                failed = why;
        },
        events);
    const double f1Ms[4] = {f1At * 1000.0, f1At * 1000.0 + f1HoldMs, f1At * 1000.0 + f1BackMs,
                            f1At * 1000.0 + f1BackMs + f1HoldMs};
    int f1Next = f1At > 0.0 ? 0 : 4;
    const double start = NowMs();
    std::fprintf(events, "start %.0f\n", start * 1e6);
    bool ended = false;
    for (long tick = 0;; ++tick) {
        const double at = start + static_cast<double>(tick) * 100.0;
        if (at >= start + seconds * 1000.0)
            break;
        while (NowMs() < at) {
            if (f1Next < 4 && NowMs() >= start + f1Ms[f1Next]) {
                const bool down = f1Next % 2 == 0;
                std::string why;
                keys->Key(evdevF1, down, why);
                std::fprintf(events, "key f1 %s %.0f\n", down ? "down" : "up", NowMs() * 1e6);
                ++f1Next;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        player.Tick(tick);
        if (game.WaitForExit(0)) {
            std::fprintf(stderr, "quarvel-compositor-pace: the game ended during play\n");
            ended = true;
            break;
        }
    }
    if (!ended)
        player.ReleaseAll();
    std::fprintf(events, "end %.0f\n", NowMs() * 1e6);
    std::fclose(events);
    game.Signal(SIGTERM);
    const bool stopped = game.WaitForExit(10000);
    if (!stderrPath.empty())
        std::ofstream(stderrPath) << game.Stderr();
    if (!failed.empty())
        std::fprintf(stderr, "quarvel-compositor-pace: a key did not go through: %s\n",
                     failed.c_str());
    std::string why;
    if (!mutter.Alive(why))
        std::fprintf(stderr, "quarvel-compositor-pace: %s\n", why.c_str());
    return !ended && stopped && game.ExitCode() == 0 ? 0 : 1;
}
