#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "spawn.h"

double NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) * 1e-6;
}

pid_t StartChild(char *const argv[], const char *stdoutPath, const char *stderrPath)
{
    const int out = stdoutPath
        ? open(stdoutPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
        : open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int err = stderrPath
        ? open(stderrPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
        : -1;
    std::vector<std::string> arguments;
    for (char *const *argument = argv; *argument; ++argument)
        arguments.emplace_back(*argument);
    SpawnOptions options;
    options.stdoutFd = out;
    options.stderrFd = err;
    options.deathSignal = SIGTERM;
    const pid_t child = Spawn(arguments, options);
    if (out >= 0)
        close(out);
    if (err >= 0)
        close(err);
    return child;
}

bool WaitChild(pid_t pid, int &status, long &maxRssKb)
{
    rusage usage{};
    pid_t got;
    do
        got = wait4(pid, &status, 0, &usage);
    while (got < 0 && errno == EINTR);
    if (got != pid)
        return false;
    maxRssKb = usage.ru_maxrss;
    return true;
}

bool StopChild(pid_t pid, int timeoutMs, int &status, long &maxRssKb)
{
    kill(pid, SIGTERM);
    const double deadline = NowMs() + timeoutMs;
    rusage usage{};
    while (NowMs() < deadline) {
        const pid_t got = wait4(pid, &status, WNOHANG, &usage);
        if (got == pid) {
            maxRssKb = usage.ru_maxrss;
            return true;
        }
        if (got < 0 && errno != EINTR)
            return false;
        usleep(2000);
    }
    std::fprintf(stderr, "quarvel-probe: pid %d ignored SIGTERM for %d ms, killing it\n",
                 static_cast<int>(pid), timeoutMs);
    kill(pid, SIGKILL);
    WaitChild(pid, status, maxRssKb);
    return false;
}

long ReadPeakResidentKb(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE *file = std::fopen(path, "r");
    if (!file)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    std::fclose(file);
    return kb;
}
