#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

// The real quarvel program (the one built here, or the one named by
// QUARVEL_E2E_PROGRAM) on a given X display, or on none when the name is
// empty, with SDL left to pick its own video driver and stderr (where the
// DEBUG lines go) captured. A game still running when the object goes is
// killed, and so is any process it left behind, so a failed test never
// leaves one; it also dies with this process.
class GameProcess {
public:
    // environment: "NAME=value" entries added to (or replacing) ours.
    // launcher, when given, is run instead with the game's path as its last
    // argument, and must exec it: sh -c 'sleep 60 & exec "$0"' starts the
    // game with a child it did not make.
    // closed: standard descriptors the game starts without (stderr among
    // them: nothing is captured).
    explicit GameProcess(const std::string &displayName,
                         const std::vector<std::string> &environment = {},
                         const std::vector<std::string> &launcher = {},
                         const std::vector<int> &closed = {});
    ~GameProcess();
    GameProcess(const GameProcess &) = delete;
    GameProcess &operator=(const GameProcess &) = delete;

    bool  Started() const { return pid > 0; }
    pid_t Pid() const { return pid; }
    // Sends a signal while the game runs.
    void Signal(int signalNumber);
    // The game's child process of this name (its "comm", as ps shows it);
    // -1 when it has none.
    pid_t ChildNamed(const std::string &name) const;
    // Waits at most timeoutMs for the game to end; true once it has.
    bool WaitForExit(int timeoutMs);
    // After the end: the exit code, or -1 when a signal killed it.
    int ExitCode() const { return exitCode; }
    // After the end: the signal that killed it, or 0.
    int KillSignal() const { return killSignal; }
    // After the end: waits at most timeoutMs until no process the game
    // started is left (when the game ends they become this process's
    // children). False, with their pids and command lines in survivors,
    // when some are still there.
    bool WaitForLeftoversGone(int timeoutMs, std::string &survivors);
    // A child of the game still running (after the game's end, one it left
    // to us) whose command line is this ("sleep 60"); -1 when none.
    pid_t RunningChild(const std::string &commandLine);
    // Stops reading the game's stderr and closes the pipe's read end, as a
    // reader that has gone away would (quarvel 2>&1 | head -1).
    void CloseStderr();
    // Stops reading the game's stderr but keeps the pipe open, as a reader
    // that stalled would (a log pipe that hangs, a terminal after Ctrl+S).
    void StallStderr();
    // After StallStderr: waits until the pipe takes no more from the game:
    // it holds all it can take but two pages at most (a writer that never
    // blocks stops short of the last one), and has not grown for 200 ms.
    // False after timeoutMs.
    bool WaitForStderrFull(int timeoutMs);
    // Reads the rest of stderr until its end of file, which comes once the
    // game and everything holding its stderr have gone; false after
    // timeoutMs.
    bool WaitForStderrEnd(int timeoutMs);
    // Everything written to stderr so far; complete after the end.
    std::string Stderr();
    // Exit code or signal and stderr, for failure messages.
    std::string Describe();

private:
    void ReadStderr();
    // Processes that came to us from the game; reaps those already ended.
    std::vector<pid_t> Leftovers(std::string *described);

    pid_t              pid = -1;
    int                pidfd = -1;      // becomes readable when the game ends
    int                stderrPipe = -1; // read end
    int                stopReading[2] = {-1, -1}; // written to end the reader
    bool               ended = false;
    int                exitCode = -1;
    int                killSignal = 0;
    std::vector<pid_t> ownChildren;     // our children from before the game
    std::thread        reader;          // drains stderr so the game never blocks on it
    std::mutex         stderrLock;
    std::string        stderrText;
};
