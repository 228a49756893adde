#include "handle_balance.h"

#include <map>
#include <sstream>

#include "platform/scripted/scripted.h"

namespace {

// A kind of resource: the call that makes it and the call that releases
// it. Handles are "-> N" after the make and " N" after the release.
struct Kind {
    const char *make;
    const char *release;
};

const Kind handleKinds[] = {
    {"RegisterClass", "UnregisterClass"},
    {"CreateWindow", "DestroyWindow"},
    {"GetDeviceContext", "ReleaseDeviceContext"},
    {"CreateContext", "DeleteContext"},
};

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The number after "-> " in a make call; empty when the make failed.
std::string MadeHandle(const std::string &call)
{
    const size_t arrow = call.find(" -> ");
    if (arrow == std::string::npos)
        return "";
    std::istringstream in(call.substr(arrow + 4));
    std::string handle;
    in >> handle;
    return handle;
}

// The number after the step's name in a release call.
std::string ReleasedHandle(const std::string &call, const std::string &step)
{
    std::istringstream in(call.substr(step.size()));
    std::string handle;
    in >> handle;
    return handle;
}

} // namespace

std::vector<std::string> UnbalancedResources()
{
    std::vector<std::string> faults;
    for (const Kind &kind : handleKinds) {
        // Handle -> releases so far, in the order made.
        std::map<std::string, int> releases;
        std::vector<std::string> order;
        for (const std::string &call : scripted.calls) {
            if (StartsWith(call, std::string(kind.make) + " ")) {
                const std::string handle = MadeHandle(call);
                if (!handle.empty()) {
                    releases[handle] = 0;
                    order.push_back(handle);
                }
            } else if (StartsWith(call, std::string(kind.release) + " ")) {
                const std::string handle = ReleasedHandle(call, kind.release);
                const auto made = releases.find(handle);
                if (made == releases.end())
                    faults.push_back(std::string(kind.release) + " " + handle + " of nothing made");
                else if (++made->second == 2)
                    faults.push_back(std::string(kind.release) + " " + handle + " released twice");
            }
        }
        for (const std::string &handle : order)
            if (releases[handle] == 0)
                faults.push_back(std::string(kind.make) + " " + handle + " never released");
    }

    // The current context, the display mode and the hidden cursor have no
    // handles: they are states, taken and given back by turns, and given
    // back at the end.
    struct State {
        const char *name;
        const char *takenBy;  // calls starting with this take it...
        const char *unlessIt; // ...unless they contain this (null: always)
        const char *givenBy;  // calls starting with this give it back
    };
    const State states[] = {
        {"MakeCurrent", "MakeCurrent ", " failed", "ReleaseCurrent "},
        {"ChangeDisplayMode", "ChangeDisplayMode ", " refused", "RestoreDisplayMode "},
        {"ShowCursor false", "ShowCursor false", nullptr, "ShowCursor true"},
    };
    for (const State &state : states) {
        bool held = false;
        for (const std::string &call : scripted.calls) {
            const bool taken = StartsWith(call, state.takenBy) &&
                               (!state.unlessIt || call.find(state.unlessIt) == std::string::npos);
            if (taken) {
                if (held)
                    faults.push_back(std::string(state.name) + " again before its release");
                held = true;
            } else if (StartsWith(call, state.givenBy)) {
                // CloseGameWindow releases the current context whenever
                // there is one, also after a failed MakeCurrent, which is
                // harmless; a display mode or cursor never taken must not
                // be given back.
                if (!held && std::string(state.name) != "MakeCurrent")
                    faults.push_back(call + " without its " + state.name);
                held = false;
            }
        }
        if (held)
            faults.push_back(std::string(state.name) + " never released");
    }
    return faults;
}

std::string WithHandlesOfLastAttempt(const std::string &text)
{
    size_t start = 0;
    for (size_t i = 0; i < scripted.calls.size(); ++i)
        if (StartsWith(scripted.calls[i], "RegisterClass "))
            start = i;
    const std::map<char, const char *> letters = {{'C', "RegisterClass"},
                                                  {'W', "CreateWindow"},
                                                  {'D', "GetDeviceContext"},
                                                  {'R', "CreateContext"}};
    std::map<char, std::string> handles;
    for (size_t i = start; i < scripted.calls.size(); ++i)
        for (const auto &[letter, make] : letters)
            if (StartsWith(scripted.calls[i], std::string(make) + " "))
                handles[letter] = MadeHandle(scripted.calls[i]);

    std::istringstream in(text);
    std::string word, result;
    while (in >> word) {
        if (word.size() == 1 && handles.count(word[0]))
            word = handles[word[0]];
        result += (result.empty() ? "" : " ") + word;
    }
    return result;
}
