#pragma once

#include <string>
#include <vector>

#include <csignal>

#include <sys/types.h>

// Starting the programs the tests and the benchmarks run (the X servers,
// the window manager, the game, quarvel-sim) the same way every time.

// Runs argv[0] (searched on PATH) as a child of this process: every signal at
// its default and none blocked, whatever this process inherited (a shell's
// background job ignores SIGINT and SIGQUIT), no core file, and deathSignal
// sent to it if this process dies first. stderr (and stdout when
// outputToo) goes to outputFd when that is not -1; keepFd, when not -1, is
// the one descriptor beyond those handed on. With environment the child gets
// exactly those "NAME=value" entries, without it ours. The descriptors in
// closed (0 to 2) it starts without, as some launchers start programs. -1
// when fork fails.
pid_t Spawn(const std::vector<std::string> &argv, int outputFd, bool outputToo, int keepFd,
            int deathSignal, const std::vector<std::string> *environment = nullptr,
            const std::vector<int> &closed = {});

// What Spawn hands the child, in full: stdout and stderr each to a
// descriptor of its own (-1 keeps ours).
struct SpawnOptions {
    int                             stdoutFd = -1;
    int                             stderrFd = -1;
    int                             keepFd = -1;
    int                             deathSignal = SIGKILL;
    const std::vector<std::string> *environment = nullptr;
    std::vector<int>                closed;
};
pid_t Spawn(const std::vector<std::string> &argv, const SpawnOptions &options);

// A descriptor that becomes readable when the process ends; -1 on an old
// kernel.
int OpenPidfd(pid_t pid);

// Waits at most timeoutMs for the process behind pidfd to end.
bool WaitForEnd(int pidfd, int timeoutMs);

// [SECTION] The processes the tests look for

// A process in /proc: its parent and its state letter ('Z' once it ended).
struct ProcessEntry {
    pid_t pid;
    pid_t parent;
    char  state;
};

// Every process there is now.
std::vector<ProcessEntry> AllProcesses();
// The processes whose parent is parent.
std::vector<ProcessEntry> ChildrenOf(pid_t parent);
// The command line with spaces between the arguments; empty once it ended.
std::string CommandLine(pid_t pid);
// The environment's "NAME=value" entries, each ended by '\0'.
std::string EnvironmentOf(pid_t pid);

// A whole file; empty when it cannot be read.
std::string ReadFile(const std::string &path);
