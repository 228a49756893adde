// The message box's processes, held by pidfd while a box is asked for.

#include "platform/process/box_processes.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

// SDL forks one process for a box; room for a few more all the same.
constexpr int maxBoxProcesses = 4;

// The message box's processes while one is up. The close handler reads
// the pidfds from any thread; everything else is the main thread's.
struct BoxState {
    std::atomic<int>   asked{0};     // the main thread is showing a box
    pid_t              gamePid = -1; // the game's process, the box's parent
    std::vector<pid_t> known;        // the main thread's children not to touch
    // pidfds of the box's processes, -1 where none: a pid number could be
    // another process's by the time it is signalled, a pidfd cannot
    std::atomic<int>   pidfds[maxBoxProcesses] = {-1, -1, -1, -1};
};

static BoxState box;

// The children of the game's main thread: SDL forks its box from there.
static std::vector<pid_t> MainThreadChildren()
{
    std::vector<pid_t> children;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/children", static_cast<int>(getpid()));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return children;
    long child = 0;
    while (std::fscanf(file, "%ld", &child) == 1)
        children.push_back(static_cast<pid_t>(child));
    std::fclose(file);
    return children;
}

// The parent of a process as /proc says now; -1 when it is gone.
static pid_t ParentOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return -1;
    // "pid (command) state ppid ...": the command may hold spaces and
    // parentheses, so read from the last ')'
    char stat[512];
    const size_t got = std::fread(stat, 1, sizeof stat - 1, file);
    std::fclose(file);
    stat[got] = '\0';
    const char *close = std::strrchr(stat, ')');
    char state = 0;
    int parent = -1;
    if (!close || std::sscanf(close + 1, " %c %d", &state, &parent) != 2)
        return -1;
    return static_cast<pid_t>(parent);
}

void Box_End()
{
    for (std::atomic<int> &held : box.pidfds) {
        const int pidfd = held.load();
        if (pidfd >= 0)
            syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
    }
}

// After a fork, in the game: a new child of the main thread while a box is
// asked for is the box. It is held by a pidfd, and only once /proc says the
// process behind the pidfd is still the game's child: if it ended and its
// number went to another process, the pidfd is of the ended one.
void Box_Forked()
{
    if (!box.asked.load() || gettid() != box.gamePid)
        return;
    for (const pid_t child : MainThreadChildren()) {
        if (std::find(box.known.begin(), box.known.end(), child) != box.known.end())
            continue;
        box.known.push_back(child);
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        if (pidfd < 0)
            continue;
        bool held = false;
        if (ParentOf(child) == box.gamePid) {
            for (std::atomic<int> &slot : box.pidfds) {
                int none = -1;
                if (slot.compare_exchange_strong(none, pidfd)) {
                    held = true;
                    break;
                }
            }
        }
        if (!held)
            close(pidfd);
    }
}

// After a fork, in the box: it ends when the game ends, however the game
// ends.
bool Box_ForkedChild()
{
    if (!box.asked.load())
        return false;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The game may have died before the line above took hold
    if (getppid() != box.gamePid)
        _exit(1);
    return true;
}

void Box_BeginWatch()
{
    box.gamePid = getpid();
    box.known = MainThreadChildren();
    box.asked.store(1);
}

void Box_EndWatch()
{
    box.asked.store(0);
    for (std::atomic<int> &held : box.pidfds) {
        const int pidfd = held.exchange(-1);
        if (pidfd >= 0)
            close(pidfd);
    }
    box.known.clear();
}
