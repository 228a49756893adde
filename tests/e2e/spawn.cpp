#include "spawn.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

extern char **environ;

static std::vector<char *> Pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (const std::string &text : strings)
        pointers.push_back(const_cast<char *>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

pid_t Spawn(const std::vector<std::string> &argv, int outputFd, bool outputToo, int keepFd,
            int deathSignal, const std::vector<std::string> *environment,
            const std::vector<int> &closed)
{
    // Everything the child needs is made before fork: it only makes system
    // calls, then execs.
    std::vector<char *> args = Pointers(argv);
    std::vector<char *> envp = environment ? Pointers(*environment) : std::vector<char *>();
    char *const *childEnvironment = environment ? envp.data() : environ;
    const pid_t child = fork();
    if (child != 0)
        return child;

    prctl(PR_SET_PDEATHSIG, deathSignal);
    // Handled signals go back to their default at exec; ignored ones and the
    // mask would stay.
    struct sigaction byDefault;
    std::memset(&byDefault, 0, sizeof byDefault);
    byDefault.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number)
        sigaction(number, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Crashes are among the ways out the tests try: no core file for each
    const struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    if (outputFd >= 0) {
        if (outputToo)
            dup2(outputFd, STDOUT_FILENO);
        dup2(outputFd, STDERR_FILENO);
    }
    if (keepFd >= 0)
        fcntl(keepFd, F_SETFD, 0);
    for (const int fd : closed)
        close(fd);
    execvpe(args[0], args.data(), childEnvironment);
    const char *reason = std::strerror(errno);
    (void)!write(STDERR_FILENO, "cannot run ", 11);
    (void)!write(STDERR_FILENO, args[0], std::strlen(args[0]));
    (void)!write(STDERR_FILENO, ": ", 2);
    (void)!write(STDERR_FILENO, reason, std::strlen(reason));
    (void)!write(STDERR_FILENO, "\n", 1);
    _exit(127);
}

// glibc 2.36's <sys/pidfd.h> lacks C linkage, so the system call is made
// directly.
int OpenPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool WaitForEnd(int pidfd, int timeoutMs)
{
    pollfd ready{pidfd, POLLIN, 0};
    return poll(&ready, 1, timeoutMs) == 1;
}
