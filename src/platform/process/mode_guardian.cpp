// The mode guardian, the game's side: starts it, tells it of every mode
// change, and notices when it is lost.

#include "platform/process/mode_guardian.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/x11/mode_guardian_x11.h"

extern char **environ;

// The game never waits longer for the guardian than this, in all: a
// guardian that hangs (stopped, or an X server that stopped answering)
// must not hang the game.
static constexpr int answerWaitMs = 1000;

// Set in the guardian's environment to the inode number of its command
// pipe: a stray copy in the game's own environment names no pipe the game
// has, and is ignored.
static const char *const guardianMarker = "QUARVEL_GUARD_PIPE";
// Beside it, the X display the guardian is to keep.
static const char *const guardianDisplay = "QUARVEL_GUARD_DISPLAY";

struct GuardLink {
    int commandFd = -1; // write end of the command pipe
    int answerFd = -1;  // read end of the answer pipe
};

static GuardLink guard;

// The X display a lost guardian's replacement keeps; empty before the first.
static std::string guardedDisplay;

// The running guardian; -1 when there is none. Whoever swaps it to -1, the
// SIGCHLD handler or the game giving up on it, owns the process from then
// on: only the owner reaps it, so its id cannot be reused under a kill.
static std::atomic<pid_t> guardianPid{-1};
static_assert(std::atomic<pid_t>::is_always_lock_free, "the SIGCHLD handler uses it");

// [SECTION] A lost guardian

// Async-signal-safe: "Display guard lost: " and the reason, on stderr.
static void SayLost(const char *reason)
{
    static const char head[] = "Display guard lost: ";
    char   line[80];
    size_t length = 0;
    for (const char *part : {head, reason, "\n"})
        for (; *part && length < sizeof line; ++part)
            line[length++] = *part;
    const ssize_t written = write(STDERR_FILENO, line, length);
    (void)written;
}

// Async-signal-safe: the decimal digits of number after text.
static void AppendNumber(char *text, size_t size, int number)
{
    size_t length = std::strlen(text);
    char   digits[12];
    int    count = 0;
    do
        digits[count++] = static_cast<char>('0' + number % 10);
    while ((number /= 10) > 0 && count < 12);
    while (count > 0 && length + 1 < size)
        text[length++] = digits[--count];
    text[length] = '\0';
}

// Async-signal-safe: says how a guardian that ended by itself ended. It
// exits with code 0 only when its X server has gone, and then the game goes
// too: nothing to say then.
static void SayHowItEnded(int code, int status)
{
    char reason[48] = "";
    if (code == CLD_EXITED && status == 0)
        return;
    std::strcpy(reason, code == CLD_EXITED ? "exited with code " : "killed by signal ");
    AppendNumber(reason, sizeof reason, status);
    SayLost(reason);
}

// Reaped at once: no zombie for the rest of the game. Other children
// (SDL's message box) are left to whoever waits for them.
void Guardian_ReapIfEnded()
{
    pid_t     pid = guardianPid.load();
    siginfo_t ended{};
    if (pid > 0 &&
        waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == pid && guardianPid.compare_exchange_strong(pid, -1)) {
        waitpid(pid, nullptr, WNOHANG);
        SayHowItEnded(ended.si_code, ended.si_status);
    }
}

// Lets go of the pipes. Also run in every process forked from the game
// later (SDL forks one for a message box): without our ends of the pipes
// there, the guardian hears of the game's end when the game ends, not when
// that child does.
static void ForgetGuard()
{
    if (guard.commandFd >= 0)
        close(guard.commandFd);
    if (guard.answerFd >= 0)
        close(guard.answerFd);
    guard = GuardLink{};
}

void Guardian_ForgetInChild()
{
    ForgetGuard();
    guardianPid.store(-1);
}

// The guardian stopped answering (reason says how), or its pipe broke
// (reason null: it ended). It is killed (it may be stopped, or hung on a
// dead X server) and reaped, which SIGKILL makes quick, and the player told.
// The next full-screen change starts a new one.
static void LoseGuard(const char *reason)
{
    const pid_t pid = guardianPid.exchange(-1);
    if (pid > 0) {
        // Already ended by itself: that is the news
        siginfo_t ended{};
        const bool gone = waitid(P_PID, static_cast<id_t>(pid), &ended,
                                 WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid;
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        if (gone)
            SayHowItEnded(ended.si_code, ended.si_status);
        else
            SayLost(reason ? reason : "its pipe broke");
    }
    ForgetGuard();
}

// [SECTION] Starting it

// A descriptor of ours moved to 10 or above, close-on-exec: wherever pipe2
// put it (0 to 2 when the game was started with those closed, or 3 and 4,
// where the guardian wants its two), it cannot be overwritten by the
// guardian's own descriptors on the way.
static int MoveHigh(int fd)
{
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

// The environment's entry "name=..."
static bool IsEntryOf(const char *entry, const char *name)
{
    const size_t length = std::strlen(name);
    return std::strncmp(entry, name, length) == 0 && entry[length] == '=';
}

// The guardian is this program again, started afresh (posix_spawn, then
// exec) rather than forked: SDL has threads by the time a lost guardian is
// replaced, and a child forked from a threaded process may only make
// async-signal-safe calls, while the guardian needs Xlib. A fresh process
// has no locks held by threads that are not there. Its environment names
// the game as its parent; Guardian_RunIfGuardian finds that at the start.
static bool SpawnGuardian(const std::string &displayName)
{
    int commands[2], answers[2];
    if (pipe2(commands, O_CLOEXEC) != 0)
        return false;
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(commands[0]);
        close(commands[1]);
        return false;
    }
    int ends[4] = {MoveHigh(commands[0]), MoveHigh(commands[1]), MoveHigh(answers[0]),
                   MoveHigh(answers[1])};
    const auto closeAll = [&ends]() {
        for (int &end : ends)
            if (end >= 0)
                close(end);
    };
    if (ends[0] < 0 || ends[1] < 0 || ends[2] < 0 || ends[3] < 0) {
        closeAll();
        return false;
    }

    struct stat pipeInfo;
    if (fstat(ends[0], &pipeInfo) != 0) {
        closeAll();
        return false;
    }
    const std::string marker =
        std::string(guardianMarker) + "=" + std::to_string(static_cast<unsigned long long>(pipeInfo.st_ino));
    const std::string display = std::string(guardianDisplay) + "=" + displayName;
    std::vector<char *> environment;
    for (char **entry = environ; *entry; ++entry)
        if (!IsEntryOf(*entry, guardianMarker) && !IsEntryOf(*entry, guardianDisplay))
            environment.push_back(*entry);
    environment.push_back(const_cast<char *>(marker.c_str()));
    environment.push_back(const_cast<char *>(display.c_str()));
    environment.push_back(nullptr);
    char  name[] = "quarvel-guard";
    char *arguments[] = {name, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t          attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, ends[0], guardCommandFd);
    posix_spawn_file_actions_adddup2(&actions, ends[3], guardAnswerFd);
    // Ctrl+C, Ctrl+\ and a closing terminal reach the whole process group:
    // held back until the guardian ignores them, so that none ends it on
    // its way up
    sigset_t held;
    sigemptyset(&held);
    for (const int signalNumber : {SIGINT, SIGQUIT, SIGHUP})
        sigaddset(&held, signalNumber);
    posix_spawnattr_setsigmask(&attributes, &held);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t      child = -1;
    const bool spawned = posix_spawn(&child, "/proc/self/exe", &actions, &attributes, arguments,
                                     environment.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    close(ends[3]);
    if (!spawned) {
        close(ends[1]);
        close(ends[2]);
        return false;
    }
    // A guardian that stops reading must not block the game on a full pipe
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    guard.commandFd = ends[1];
    guard.answerFd = ends[2];
    guardianPid.store(child);
    return true;
}

// Starts a guardian for guardedDisplay unless one runs.
static void StartOne()
{
    if (guardianPid.load() > 0)
        return;
    // One that ended since was reaped by the SIGCHLD hook; its pipes go now
    ForgetGuard();
    if (!SpawnGuardian(guardedDisplay))
        SayLost("could not start one");
}

void Guardian_Start(const char *displayName)
{
    guardedDisplay = displayName ? displayName : "";
    StartOne();
}

void Guardian_RunIfGuardian()
{
    const char *parent = std::getenv(guardianMarker);
    if (!parent)
        return;
    const char *display = std::getenv(guardianDisplay);
    // Also when the game has gone meanwhile: the guardian then reads the
    // end of its pipe and leaves
    struct stat command;
    if (fstat(guardCommandFd, &command) == 0 && S_ISFIFO(command.st_mode) &&
        std::strtoull(parent, nullptr, 10) == static_cast<unsigned long long>(command.st_ino))
        Guardian_Run(display ? display : "");
    // Not ours: the game runs, and passes no stray marker on
    unsetenv(guardianMarker);
    unsetenv(guardianDisplay);
}

// [SECTION] Talking to it

static int64_t MonotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

static void Tell(char command, bool waitForAnswer)
{
    if (guardianPid.load() <= 0 || guard.commandFd < 0) {
        ForgetGuard();
        return;
    }
    // SIGPIPE is ignored, so a guardian that has gone shows as an error here
    ssize_t written;
    do
        written = write(guard.commandFd, &command, 1);
    while (written < 0 && errno == EINTR);
    if (written != 1) {
        LoseGuard(written < 0 && errno == EAGAIN ? "it stopped reading" : nullptr);
        return;
    }
    if (!waitForAnswer)
        return;
    // One second in all: signals (close requests) cut the wait short, and
    // it goes on for what is left of the second, no more
    const int64_t deadline = MonotonicMs() + answerWaitMs;
    pollfd        ready{guard.answerFd, POLLIN, 0};
    int           polled;
    do {
        const int64_t left = deadline - MonotonicMs();
        polled = poll(&ready, 1, left > 0 ? static_cast<int>(left) : 0);
    } while (polled < 0 && errno == EINTR);
    char answer = 0;
    if (polled != 1) {
        LoseGuard("no answer within a second");
        return;
    }
    if (read(guard.answerFd, &answer, 1) != 1 || answer != guardAnswerDone)
        LoseGuard(nullptr);
}

void Guardian_BeforeModeChange()
{
    StartOne();
    Tell(guardBeforeChange, true);
}

void Guardian_ModeChanged()
{
    Tell(guardChanged, false);
}

void Guardian_BeforeRestore()
{
    Tell(guardBeforeRestore, true);
}

void Guardian_ModeRestored()
{
    Tell(guardRestored, true);
}
