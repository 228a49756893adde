#include "x_server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

// A descriptor that becomes readable when the process ends (glibc 2.36's
// <sys/pidfd.h> lacks C linkage, so the system call is made directly).
static int OpenPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// Xvfb needs a moment on a loaded machine; the limits only bound a hang.
static constexpr int serverReadyMs = 15000;
static constexpr int serverStopMs = 5000;
static constexpr int firstDisplay = 90;
static constexpr int displaysTried = 40;

// A window can vanish between two requests (the game re-creates its window
// on F1 and closes it at the end); Xlib's default handler would end this
// process for the BadWindow that follows.
static int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

static bool PathExists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

static std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits for the process behind pidfd to end, at most timeoutMs.
static bool WaitForEnd(int pidfd, int timeoutMs)
{
    pollfd ready{pidfd, POLLIN, 0};
    return poll(&ready, 1, timeoutMs) == 1;
}

XServer::~XServer()
{
    Stop();
}

bool XServer::Start(std::string &error)
{
    for (int number = firstDisplay; number < firstDisplay + displaysTried; ++number) {
        // A socket or lock file means another server has (or had) it
        const std::string n = std::to_string(number);
        if (PathExists("/tmp/.X11-unix/X" + n) || PathExists("/tmp/.X" + n + "-lock"))
            continue;
        if (StartOn(number, error))
            return true;
    }
    if (error.empty())
        error = "no free X display between :90 and :129";
    return false;
}

bool XServer::StartOn(int number, std::string &error)
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    char logPath[] = "/tmp/quarvel-e2e-xvfb-XXXXXX";
    const int log = mkostemp(logPath, O_CLOEXEC);

    // Everything the child needs is made before fork: it only execs
    const std::string name = ":" + std::to_string(number);
    const std::string readyFd = std::to_string(ready[1]);
    const char *argv[] = {"Xvfb", name.c_str(), "-screen", "0", "800x600x24", "-nolisten",
                          "tcp", "-displayfd", readyFd.c_str(), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Only the write end of the pipe is handed on
        fcntl(ready[1], F_SETFD, 0);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        execvp("Xvfb", const_cast<char *const *>(argv));
        std::fprintf(stderr, "cannot run Xvfb: %s\n", std::strerror(errno));
        _exit(127);
    }
    close(ready[1]);
    if (child < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(ready[0]);
        if (log >= 0)
            close(log);
        unlink(logPath);
        return false;
    }
    pid = child;

    // Xvfb writes its display number once it accepts connections, and
    // closes the pipe without a word if it cannot take the display.
    char answer[32] = {};
    pollfd wait{ready[0], POLLIN, 0};
    ssize_t got = 0;
    if (poll(&wait, 1, serverReadyMs) == 1)
        got = read(ready[0], answer, sizeof answer - 1);
    close(ready[0]);
    if (got <= 0 || std::atoi(answer) != number) {
        Stop();
        error = "Xvfb did not come up on " + name + ":\n" + ReadFile(logPath);
        if (log >= 0)
            close(log);
        unlink(logPath);
        return false;
    }
    if (log >= 0)
        close(log);
    unlink(logPath);

    XSetErrorHandler(IgnoreXError);
    display = XOpenDisplay(name.c_str());
    if (!display) {
        Stop();
        error = "Xvfb runs on " + name + " but does not accept a connection";
        return false;
    }
    displayName = name;
    return true;
}

void XServer::Stop()
{
    if (display) {
        XCloseDisplay(display);
        display = nullptr;
    }
    if (pid > 0) {
        const int pidfd = OpenPidfd(pid);
        kill(pid, SIGTERM);
        if (pidfd < 0 || !WaitForEnd(pidfd, serverStopMs))
            kill(pid, SIGKILL);
        if (pidfd >= 0)
            close(pidfd);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    displayName.clear();
}
