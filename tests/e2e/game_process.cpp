#include "game_process.h"

#include <algorithm>
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
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "spawn.h"

extern char **environ;

GameProcess::GameProcess(const std::string &displayName,
                         const std::vector<std::string> &environment,
                         const std::vector<std::string> &launcher,
                         const std::vector<int> &closed)
{
    // The game's environment: ours with DISPLAY pointing at the test server,
    // no SDL_VIDEODRIVER (unit tests set it to offscreen) and the test's own
    // entries. No display name: no display of any kind.
    std::vector<std::string> variables;
    const auto replaced = [&environment](const std::string &variable) {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        for (const std::string &entry : environment)
            if (entry.rfind(name, 0) == 0)
                return true;
        return false;
    };
    for (char **entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("DISPLAY=", 0) == 0 || variable.rfind("SDL_VIDEODRIVER=", 0) == 0 ||
            (displayName.empty() && variable.rfind("WAYLAND_DISPLAY=", 0) == 0) ||
            replaced(variable))
            continue;
        variables.push_back(variable);
    }
    if (!displayName.empty())
        variables.push_back("DISPLAY=" + displayName);
    variables.insert(variables.end(), environment.begin(), environment.end());
    // QUARVEL_E2E_PROGRAM runs the tests against another build of the game
    const char *other = std::getenv("QUARVEL_E2E_PROGRAM");
    const char *program = other && *other ? other : QUARVEL_PROGRAM;

    // What the game starts and leaves behind comes to us when it ends, not
    // to init, so that the tests can see it.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const ProcessEntry &child : ChildrenOf(getpid()))
        ownChildren.push_back(child.pid);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return;
    if (pipe2(stopReading, O_CLOEXEC) != 0) {
        close(errorPipe[0]);
        close(errorPipe[1]);
        return;
    }
    std::vector<std::string> argv = launcher;
    argv.push_back(program);
    const pid_t child = Spawn(argv, errorPipe[1], false, -1, SIGKILL, &variables, closed);
    close(errorPipe[1]);
    if (child < 0) {
        close(errorPipe[0]);
        return;
    }
    pid = child;
    pidfd = OpenPidfd(pid);
    stderrPipe = errorPipe[0];
    reader = std::thread(&GameProcess::ReadStderr, this);
}

GameProcess::~GameProcess()
{
    if (pid > 0 && !ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (pid > 0) {
        for (const pid_t leftover : Leftovers(nullptr)) {
            kill(leftover, SIGKILL);
            waitpid(leftover, nullptr, 0);
        }
    }
    CloseStderr();
    for (const int end : stopReading)
        if (end >= 0)
            close(end);
    if (pidfd >= 0)
        close(pidfd);
}

void GameProcess::ReadStderr()
{
    char buffer[4096];
    for (;;) {
        pollfd ready[2] = {{stderrPipe, POLLIN, 0}, {stopReading[0], POLLIN, 0}};
        if (poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (ready[1].revents) {
            // Told to stop: take what is in the pipe now, then go
            fcntl(stderrPipe, F_SETFL, O_NONBLOCK);
            ssize_t got = 0;
            while ((got = read(stderrPipe, buffer, sizeof buffer)) > 0 ||
                   (got < 0 && errno == EINTR)) {
                std::lock_guard<std::mutex> hold(stderrLock);
                stderrText.append(buffer, static_cast<size_t>(got > 0 ? got : 0));
            }
            return;
        }
        const ssize_t got = read(stderrPipe, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        std::lock_guard<std::mutex> hold(stderrLock);
        stderrText.append(buffer, static_cast<size_t>(got));
    }
}

void GameProcess::StallStderr()
{
    if (reader.joinable()) {
        (void)!write(stopReading[1], "", 1);
        reader.join();
    }
}

bool GameProcess::WaitForStderrFull(int timeoutMs)
{
    constexpr int stillMs = 200;
    const int size = fcntl(stderrPipe, F_GETPIPE_SZ);
    int held = -1, stillFor = 0;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int unread = 0;
        if (size <= 0 || ioctl(stderrPipe, FIONREAD, &unread) != 0)
            return false;
        stillFor = unread == held ? stillFor + 10 : 0;
        held = unread;
        if (held >= size - 2 * 4096 && stillFor >= stillMs)
            return true;
        poll(nullptr, 0, 10);
    }
    return false;
}

bool GameProcess::WaitForStderrEnd(int timeoutMs)
{
    StallStderr();
    if (stderrPipe < 0)
        return false;
    fcntl(stderrPipe, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (int waited = 0;; waited += 10) {
        ssize_t got = 0;
        while ((got = read(stderrPipe, buffer, sizeof buffer)) > 0) {
            std::lock_guard<std::mutex> hold(stderrLock);
            stderrText.append(buffer, static_cast<size_t>(got));
        }
        if (got == 0)
            return true;
        if (waited >= timeoutMs)
            return false;
        poll(nullptr, 0, 10);
    }
}

void GameProcess::CloseStderr()
{
    StallStderr();
    if (stderrPipe >= 0) {
        close(stderrPipe);
        stderrPipe = -1;
    }
}

void GameProcess::Signal(int signalNumber)
{
    if (pid > 0 && !ended)
        kill(pid, signalNumber);
}

pid_t GameProcess::ChildNamed(const std::string &name) const
{
    if (pid <= 0 || ended)
        return -1;
    for (const ProcessEntry &child : ChildrenOf(pid)) {
        std::ifstream in("/proc/" + std::to_string(child.pid) + "/comm");
        std::string comm;
        std::getline(in, comm);
        if (comm == name && child.state != 'Z')
            return child.pid;
    }
    return -1;
}

bool GameProcess::WaitForExit(int timeoutMs)
{
    if (pid <= 0)
        return false;
    if (ended)
        return true;
    int status = 0;
    if (pidfd >= 0) {
        if (!WaitForEnd(pidfd, timeoutMs) || waitpid(pid, &status, 0) != pid)
            return false;
    } else {
        // Without a pidfd (an old kernel), look every 10 ms
        int waited = 0;
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (waited >= timeoutMs)
                return false;
            poll(nullptr, 0, 10);
            waited += 10;
        }
    }
    ended = true;
    if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        killSignal = WTERMSIG(status);
    // Everything the game wrote is in the pipe now. What it left behind
    // may still hold the pipe open, so the reader takes what is there and
    // stops instead of waiting for the end of the file.
    if (reader.joinable()) {
        (void)!write(stopReading[1], "", 1);
        reader.join();
    }
    return true;
}

std::vector<pid_t> GameProcess::Leftovers(std::string *described)
{
    std::vector<pid_t> alive;
    for (const ProcessEntry &child : ChildrenOf(getpid())) {
        if (child.pid == pid ||
            std::find(ownChildren.begin(), ownChildren.end(), child.pid) != ownChildren.end())
            continue;
        if (child.state == 'Z') {
            waitpid(child.pid, nullptr, WNOHANG);
            continue;
        }
        alive.push_back(child.pid);
        if (described)
            *described += " " + std::to_string(child.pid) + " (" + CommandLine(child.pid) + ")";
    }
    return alive;
}

pid_t GameProcess::RunningChild(const std::string &commandLine)
{
    for (const pid_t parent : {pid, getpid()}) {
        for (const ProcessEntry &child : ChildrenOf(parent)) {
            std::string line = CommandLine(child.pid);
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            if (child.state != 'Z' && line == commandLine)
                return child.pid;
        }
    }
    return -1;
}

bool GameProcess::WaitForLeftoversGone(int timeoutMs, std::string &survivors)
{
    for (int waited = 0;; waited += 10) {
        survivors.clear();
        if (Leftovers(&survivors).empty())
            return true;
        if (waited >= timeoutMs)
            return false;
        poll(nullptr, 0, 10);
    }
}

std::string GameProcess::Stderr()
{
    std::lock_guard<std::mutex> hold(stderrLock);
    return stderrText;
}

std::string GameProcess::Describe()
{
    std::string text;
    if (!ended)
        text = "quarvel is still running";
    else if (killSignal != 0)
        text = "quarvel was killed by signal " + std::to_string(killSignal);
    else
        text = "quarvel exited with code " + std::to_string(exitCode);
    return text + "; its stderr:\n" + Stderr();
}
