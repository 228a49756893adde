#include "game_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// A descriptor that becomes readable when the process ends (glibc 2.36's
// <sys/pidfd.h> lacks C linkage, so the system call is made directly).
static int OpenPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

GameProcess::GameProcess(const std::string &displayName)
{
    // The game's environment: ours with DISPLAY pointing at the test server
    // and no SDL_VIDEODRIVER (unit tests set it to offscreen). No display
    // name: no display of any kind.
    std::vector<std::string> variables;
    for (char **entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("DISPLAY=", 0) == 0 || variable.rfind("SDL_VIDEODRIVER=", 0) == 0 ||
            (displayName.empty() && variable.rfind("WAYLAND_DISPLAY=", 0) == 0))
            continue;
        variables.push_back(variable);
    }
    if (!displayName.empty())
        variables.push_back("DISPLAY=" + displayName);
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    // QUARVEL_E2E_PROGRAM runs the tests against another build of the game
    const char *other = std::getenv("QUARVEL_E2E_PROGRAM");
    const char *program = other && *other ? other : QUARVEL_PROGRAM;
    char *const argv[] = {const_cast<char *>(program), nullptr};

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return;
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(errorPipe[1], STDERR_FILENO);
        execve(program, argv, envp.data());
        std::fprintf(stderr, "cannot run %s: %s\n", program, std::strerror(errno));
        _exit(127);
    }
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
    if (reader.joinable())
        reader.join();
    if (stderrPipe >= 0)
        close(stderrPipe);
    if (pidfd >= 0)
        close(pidfd);
}

void GameProcess::ReadStderr()
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(stderrPipe, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        std::lock_guard<std::mutex> hold(stderrLock);
        stderrText.append(buffer, static_cast<size_t>(got));
    }
}

void GameProcess::Signal(int signalNumber)
{
    if (pid > 0 && !ended)
        kill(pid, signalNumber);
}

bool GameProcess::WaitForExit(int timeoutMs)
{
    if (pid <= 0)
        return false;
    if (ended)
        return true;
    int status = 0;
    if (pidfd >= 0) {
        pollfd end{pidfd, POLLIN, 0};
        if (poll(&end, 1, timeoutMs) != 1 || waitpid(pid, &status, 0) != pid)
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
    // The pipe closes with the game, so the reader has everything
    if (reader.joinable())
        reader.join();
    return true;
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
