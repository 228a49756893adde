#include "spawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <dirent.h>
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
    SpawnOptions options;
    options.stdoutFd = outputToo ? outputFd : -1;
    options.stderrFd = outputFd;
    options.keepFd = keepFd;
    options.deathSignal = deathSignal;
    options.environment = environment;
    options.closed = closed;
    return Spawn(argv, options);
}

pid_t Spawn(const std::vector<std::string> &argv, const SpawnOptions &options)
{
    // Everything the child needs is made before fork: it only makes system
    // calls, then execs.
    std::vector<char *> args = Pointers(argv);
    std::vector<char *> envp =
        options.environment ? Pointers(*options.environment) : std::vector<char *>();
    char *const *childEnvironment = options.environment ? envp.data() : environ;
    const pid_t child = fork();
    if (child != 0)
        return child;

    prctl(PR_SET_PDEATHSIG, options.deathSignal);
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

    if (options.stdoutFd >= 0)
        dup2(options.stdoutFd, STDOUT_FILENO);
    if (options.stderrFd >= 0)
        dup2(options.stderrFd, STDERR_FILENO);
    if (options.keepFd >= 0)
        fcntl(options.keepFd, F_SETFD, 0);
    for (const int fd : options.closed)
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

// [SECTION] The processes the tests look for

std::vector<ProcessEntry> AllProcesses()
{
    std::vector<ProcessEntry> processes;
    DIR *proc = opendir("/proc");
    if (!proc)
        return processes;
    while (const dirent *entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0)
            continue;
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string stat;
        std::getline(in, stat);
        // "pid (command) state ppid ...": the command may hold spaces and
        // parentheses, so read from the last ')'
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        char  state = '?';
        pid_t up = 0;
        rest >> state >> up;
        processes.push_back(ProcessEntry{pid, up, state});
    }
    closedir(proc);
    return processes;
}

std::vector<ProcessEntry> ChildrenOf(pid_t parent)
{
    std::vector<ProcessEntry> children = AllProcesses();
    std::erase_if(children, [parent](const ProcessEntry &entry) { return entry.parent != parent; });
    return children;
}

std::string CommandLine(pid_t pid)
{
    std::string line = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(line.begin(), line.end(), '\0', ' ');
    return line;
}

std::string EnvironmentOf(pid_t pid)
{
    return ReadFile("/proc/" + std::to_string(pid) + "/environ");
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
