#pragma once

#include <string>

#include <sys/types.h>

typedef struct _XDisplay Display;

// A private Xvfb with one 800 x 600 screen at 24 bits, the mode the game
// asks for, and this process's connection to it. The server dies with this
// process even when the process is killed.
class XServer {
public:
    ~XServer();

    // Starts Xvfb on the first free display from :90 and connects to it.
    // On failure error says why.
    bool Start(std::string &error);
    // Disconnects and stops the server; safe to call twice.
    void Stop();

    const std::string &DisplayName() const { return displayName; } // ":90"
    Display           *Connection() const { return display; }

private:
    // Runs Xvfb on :number; false when it could not come up there.
    bool StartOn(int number, std::string &error);

    pid_t       pid = -1;          // the Xvfb process, -1 when none
    std::string displayName;       // ":N" once it is up
    Display    *display = nullptr; // our connection, for the whole run
};
