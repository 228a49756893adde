// One game per display: a socket named after the display, held while the game runs.

#include "platform/sdl/one_game.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <SDL.h>

#include "platform/sdl/sdl_backend.h"
#include "system/debug_log.h"

// The listening socket while this game holds its display; -1 otherwise.
static int displayClaim = -1;

// How long a second start keeps calling a first game that has its name but
// does not listen yet (it is between bind and listen).
static constexpr int callTries = 50;
static constexpr useconds_t callPauseMs = 10;
// How often a running game looks for such calls.
static constexpr Uint32 answerEveryMs = 50;

// The display this game will be shown on, one spelling for each: ":1",
// ":1.0" and "unix:1" are the same X server. Empty where there is none to
// claim: drivers that show nothing (the tests' offscreen one), or no
// display named at all (the game then ends with "Video unavailable").
static std::string DisplayKey()
{
    // The driver SDL tries first
    const std::vector<std::string> drivers = Sdl_NamedVideoDrivers();
    const std::string driver = drivers.empty() ? "" : drivers.front();
    if (driver == "offscreen" || driver == "dummy")
        return "";
    const char *x = std::getenv("DISPLAY");
    const bool  wayland = driver == "wayland" || !x || !*x;
    if (!wayland) {
        const std::string name = x;
        const size_t      colon = name.rfind(':');
        if (colon == std::string::npos)
            return "x11 " + name;
        std::string host = name.substr(0, colon);
        if (host == "unix")
            host.clear();
        const std::string number = name.substr(colon + 1, name.find('.', colon) - colon - 1);
        return "x11 " + host + ":" + number;
    }
    const char *named = std::getenv("WAYLAND_DISPLAY");
    const std::string socket = named && *named ? named : "wayland-0";
    if (socket[0] == '/')
        return "wayland " + socket;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return "";
    return "wayland " + std::string(runtime) + "/" + socket;
}

// An abstract socket's address: no file to leave behind. A key too long for
// the address is folded into its FNV-1a hash.
static socklen_t ClaimAddress(const std::string &key, sockaddr_un &address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::string name = "quarvel " + key;
    if (name.size() >= sizeof address.sun_path) {
        uint64_t hash = 14695981039346656037ull;
        for (const unsigned char c : key)
            hash = (hash ^ c) * 1099511628211ull;
        char folded[32];
        std::snprintf(folded, sizeof folded, "quarvel %016llx",
                      static_cast<unsigned long long>(hash));
        name = folded;
    }
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Asks the game that holds the address to come to the front: connecting
// is the whole request. False while nobody listens there.
static bool CallOtherGame(const sockaddr_un &address, socklen_t length)
{
    const int call = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (call < 0)
        return false;
    int connected;
    do
        connected = connect(call, reinterpret_cast<const sockaddr *>(&address), length);
    while (connected != 0 && errno == EINTR);
    close(call);
    return connected == 0;
}

bool Instance_Claim()
{
    if (displayClaim >= 0)
        return true;
    const std::string key = DisplayKey();
    if (key.empty())
        return true;
    sockaddr_un     address;
    const socklen_t length = ClaimAddress(key, address);
    for (int attempt = 0; attempt < callTries; ++attempt) {
        const int claim = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (claim < 0) {
            StderrLine("One game per display not ensured: socket: %s\n", std::strerror(errno));
            return true;
        }
        if (bind(claim, reinterpret_cast<const sockaddr *>(&address), length) == 0) {
            if (listen(claim, 4) != 0) {
                StderrLine("One game per display not ensured: listen: %s\n", std::strerror(errno));
                close(claim);
                return true;
            }
            displayClaim = claim;
            return true;
        }
        const int bindError = errno;
        close(claim);
        if (bindError != EADDRINUSE) {
            StderrLine("One game per display not ensured: bind: %s\n", std::strerror(bindError));
            return true;
        }
        if (CallOtherGame(address, length))
            return false;
        // The other game has the name but does not listen yet, or it has
        // just gone: try the name again shortly
        usleep(callPauseMs * 1000);
    }
    // A holder that never listens is a game all the same
    return false;
}

void Instance_AnswerCalls()
{
    // The frame loop takes messages thousands of times a second; a player's
    // second start needs no answer sooner than this, so most turns cost a
    // clock read instead of a system call
    static Uint32 lastLook = 0;
    const Uint32  now = SDL_GetTicks();
    if (displayClaim < 0 || now - lastLook < answerEveryMs)
        return;
    lastLook = now;
    bool called = false;
    for (;;) {
        const int call = accept4(displayClaim, nullptr, nullptr, SOCK_CLOEXEC);
        if (call < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        close(call);
        called = true;
    }
    if (!called || !sdlVideo.window)
        return;
    // As a task bar does it: a minimised game comes back (full screen in
    // its own mode again), and the window goes on top with the keyboard.
    // On X11 a minimised window is also unmapped, which SDL 3 (under
    // sdl2-compat) counts as hidden, and SDL 3.2 restores no hidden window:
    // shown again, the window manager brings it back. SDL 2 did both in
    // SDL_RestoreWindow.
    if (SDL_GetWindowFlags(sdlVideo.window) & SDL_WINDOW_HIDDEN)
        SDL_ShowWindow(sdlVideo.window);
    if (SDL_GetWindowFlags(sdlVideo.window) & SDL_WINDOW_MINIMIZED)
        SDL_RestoreWindow(sdlVideo.window);
    SDL_RaiseWindow(sdlVideo.window);
}

void Instance_Release()
{
    if (displayClaim >= 0)
        close(displayClaim);
    displayClaim = -1;
}
