// One game per display: a socket named after the display, held while the game runs.

#include "platform/process/one_game.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "system/debug_log.h"

struct OneGameState {
    int     claim = -1;     // the listening socket while this game holds its display
    int64_t lastLookMs = 0; // CLOCK_MONOTONIC of the last look for calls
};

static OneGameState oneGame;

// How long a second start keeps calling a first game that has its name but
// does not listen yet (it is between bind and listen).
static constexpr int callTries = 50;
static constexpr useconds_t callPauseMs = 10;
// How often a running game looks for such calls.
static constexpr int64_t answerEveryMs = 50;

// The display, one spelling for each: ":1", ":1.0" and "unix:1" are the
// same X server. Empty where there is none to claim.
static std::string DisplayKey(const DisplayServer &display)
{
    if (display.name.empty())
        return "";
    switch (display.system) {
    case DisplaySystem::X11: {
        const std::string &name = display.name;
        const size_t       colon = name.rfind(':');
        if (colon == std::string::npos)
            return "x11 " + name;
        std::string host = name.substr(0, colon);
        if (host == "unix")
            host.clear();
        const std::string number = name.substr(colon + 1, name.find('.', colon) - colon - 1);
        return "x11 " + host + ":" + number;
    }
    case DisplaySystem::Wayland:
        return "wayland " + display.name;
    case DisplaySystem::Other:
        break;
    }
    return "";
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

bool Instance_Claim(const DisplayServer &display)
{
    if (oneGame.claim >= 0)
        return true;
    const std::string key = DisplayKey(display);
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
            oneGame.claim = claim;
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

static int64_t MonotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool Instance_Called()
{
    // The frame loop takes messages thousands of times a second; a player's
    // second start needs no answer sooner than this, so most turns cost a
    // clock read instead of a system call
    const int64_t now = MonotonicMs();
    if (oneGame.claim < 0 || now - oneGame.lastLookMs < answerEveryMs)
        return false;
    oneGame.lastLookMs = now;
    bool called = false;
    for (;;) {
        const int call = accept4(oneGame.claim, nullptr, nullptr, SOCK_CLOEXEC);
        if (call < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        close(call);
        called = true;
    }
    return called;
}

void Instance_Release()
{
    if (oneGame.claim >= 0)
        close(oneGame.claim);
    oneGame = OneGameState{};
}
