#include "x_server.h"

// Before Xlib, whose None would stand for gtest's
#include "display_mode.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "spawn.h"

// A server needs a moment on a loaded machine; the limits only bound a hang.
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

static bool WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

// Ends a process we started: SIGTERM, SIGKILL if it lingers. Its wait
// status.
static int EndProcess(pid_t &pid)
{
    if (pid <= 0)
        return 0;
    const int pidfd = OpenPidfd(pid);
    kill(pid, SIGTERM);
    if (pidfd < 0 || !WaitForEnd(pidfd, serverStopMs))
        kill(pid, SIGKILL);
    if (pidfd >= 0)
        close(pidfd);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return status;
}

// Spawn's exit code when the program could not be run at all
static bool CouldNotRun(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 127;
}

// The files of one server: Xorg's log, an empty configuration directory so
// that no snippet installed on the machine changes the server.
static const char *const outputFile = "/output";
static const char *const xorgLog = "/xorg.log";
static const char *const configDirectory = "/xorg.conf.d";
static const char *const managerOutput = "/openbox.log";

static void RemoveScratch(const std::string &scratch)
{
    for (const char *file : {outputFile, xorgLog, managerOutput})
        unlink((scratch + file).c_str());
    unlink((scratch + configDirectory + "/empty.conf").c_str());
    rmdir((scratch + configDirectory).c_str());
    rmdir(scratch.c_str());
}

XServer::~XServer()
{
    Stop();
}

bool XServer::Start(std::string &error)
{
    char directory[] = "/tmp/quarvel-e2e-x-XXXXXX";
    if (!mkdtemp(directory)) {
        error = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    scratch = directory;
    // Xorg falls back to the system's directory when the one it is given
    // holds no .conf file.
    if (mkdir((scratch + configDirectory).c_str(), 0700) != 0 ||
        !WriteFile(scratch + configDirectory + "/empty.conf", "# Nothing beyond -config\n")) {
        error = "cannot make " + scratch + configDirectory;
        return false;
    }
    for (int number = firstDisplay; number < firstDisplay + displaysTried; ++number) {
        // A socket or lock file means another server has (or had) it
        const std::string n = std::to_string(number);
        if (PathExists("/tmp/.X11-unix/X" + n) || PathExists("/tmp/.X" + n + "-lock"))
            continue;
        bool anotherDisplay = true;
        if (StartOn(number, error, anotherDisplay))
            return true;
        if (!anotherDisplay)
            break;
    }
    if (error.empty())
        error = "no free X display between :90 and :129";
    RemoveScratch(scratch);
    scratch.clear();
    return false;
}

bool XServer::StartOn(int number, std::string &error, bool &anotherDisplay)
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const int output = open((scratch + outputFile).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string name = ":" + std::to_string(number);
    const std::string readyFd = std::to_string(ready[1]);
    // Indirect GLX is refused on both servers (-iglx, the default since X.Org
    // 1.17, said outright): a client that asks for an indirect context gets a
    // window but no GL context, whatever its Mesa is (NoGlDriver).
    std::vector<std::string> argv;
    const char *size = kind == Kind::Xvfb               ? "800x600x"
                       : kind == Kind::XvfbFallbackOnly ? "640x480x"
                                                        : "1024x768x";
    const bool xorg = kind == Kind::XorgDummy || kind == Kind::XorgDummyTwoMonitors ||
                      kind == Kind::XorgDummyFallbackOnly;
    if (!xorg) {
        argv = {"Xvfb", name, "-screen", "0", size + std::to_string(depth),
                "-nolisten", "tcp", "-iglx", "-displayfd", readyFd};
    } else {
        // No virtual terminal is switched to: the console stays as it was
        argv = {"Xorg", name, "-config", QUARVEL_XORG_CONFIG, "-configdir",
                scratch + configDirectory, "-logfile", scratch + xorgLog, "-noreset",
                "-nolisten", "tcp", "-iglx", "-novtswitch", "-sharevts", "-displayfd", readyFd};
        // The config's second screen, at the depth asked for
        if (kind == Kind::XorgDummyFallbackOnly)
            argv.insert(argv.end(), {"-screen", "small", "-depth", std::to_string(depth)});
    }
    pid = Spawn(argv, output, true, ready[1], SIGTERM);
    close(ready[1]);
    if (output >= 0)
        close(output);
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(ready[0]);
        return false;
    }

    // The server writes its display number once it accepts connections, and
    // closes the pipe without a word if it cannot take the display.
    char answer[32] = {};
    pollfd wait{ready[0], POLLIN, 0};
    ssize_t got = 0;
    if (poll(&wait, 1, serverReadyMs) == 1)
        got = read(ready[0], answer, sizeof answer - 1);
    close(ready[0]);
    if (got <= 0 || std::atoi(answer) != number) {
        anotherDisplay = !CouldNotRun(EndProcess(pid));
        error = argv[0] + " did not come up on " + name + ":\n" + ReadFile(scratch + outputFile);
        if (xorg)
            error += "(Xorg needs root and the packages xserver-xorg-core and "
                     "xserver-xorg-video-dummy)\n";
        return false;
    }

    XSetErrorHandler(IgnoreXError);
    display = XOpenDisplay(name.c_str());
    if (!display) {
        EndProcess(pid);
        error = argv[0] + " runs on " + name + " but does not accept a connection";
        return false;
    }
    displayName = name;
    if (kind == Kind::XorgDummyTwoMonitors && !LightTwoMonitors(name)) {
        XCloseDisplay(display);
        display = nullptr;
        displayName.clear();
        EndProcess(pid);
        error = "xrandr could not light a second monitor on " + name +
                " (it needs the package x11-xserver-utils)";
        anotherDisplay = false;
        return false;
    }
    return true;
}

void XServer::Stop()
{
    StopWindowManager();
    if (display) {
        XCloseDisplay(display);
        display = nullptr;
    }
    EndProcess(pid);
    if (!scratch.empty())
        RemoveScratch(scratch);
    scratch.clear();
    displayName.clear();
}

// The window a window manager names in the root's _NET_SUPPORTING_WM_CHECK,
// when that window names itself too (the manager is up, not a leftover).
static bool ManagerRunning(Display *display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Window named[2] = {None, None};
    Window on[2] = {DefaultRootWindow(display), None};
    for (int i = 0; i < 2; ++i) {
        Atom           type = None;
        int            format = 0;
        unsigned long  count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, on[i], check, 0, 1, False, XA_WINDOW, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            if (type == XA_WINDOW && format == 32 && count == 1)
                named[i] = *reinterpret_cast<Window *>(data);
            XFree(data);
        }
        if (named[i] == None)
            return false;
        if (i == 0)
            on[1] = named[0];
    }
    return named[0] == named[1];
}

bool XServer::StartWindowManager(std::string &error)
{
    if (!display) {
        error = "no X server to run a window manager on";
        return false;
    }
    extern char **environ;
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0)
            environment.push_back(*entry);
    environment.push_back("DISPLAY=" + displayName);
    const int output = open((scratch + managerOutput).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    managerPid = Spawn({"openbox", "--sm-disable"}, output, true, -1, SIGTERM, &environment);
    if (output >= 0)
        close(output);
    const int pidfd = managerPid > 0 ? OpenPidfd(managerPid) : -1;
    bool up = false;
    for (int waited = 0; waited < serverReadyMs; waited += 10) {
        up = ManagerRunning(display);
        if (up)
            break;
        // Look again in 10 ms, or give up at once when openbox has ended
        if (pidfd < 0)
            poll(nullptr, 0, 10);
        else if (WaitForEnd(pidfd, 10))
            break;
    }
    if (pidfd >= 0)
        close(pidfd);
    if (!up) {
        StopWindowManager();
        error = "openbox did not start managing " + displayName + ":\n" +
                ReadFile(scratch + managerOutput);
        return false;
    }
    return true;
}

void XServer::StopWindowManager()
{
    EndProcess(managerPid);
    // Its check window is gone with it; wait for the server to have seen
    // that, so the next test starts without a manager.
    if (display)
        XSync(display, False);
}
