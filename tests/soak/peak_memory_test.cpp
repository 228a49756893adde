// The world's memory must not grow with the length of a game: a checked
// quarvel-sim run of a million frames may peak only a little above the
// first tenth of the same game (the same seed plays the same first
// 100,000 frames). Each run is a child process, so its peak resident size
// is its own.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "spawn.h"

extern char **environ;

struct SimRun {
    int         exitStatus = -1; // as waitpid gives it
    long        peakKiB = 0;     // ru_maxrss of the child
    std::string out;             // the summary line
    std::string errors;          // stderr without the shield's "Bounce" lines
};

static std::string WithoutBounces(const std::string &log)
{
    std::istringstream lines(log);
    std::string line, kept;
    while (std::getline(lines, line))
        if (line.rfind("DEBUG: Bounce", 0) != 0)
            kept += line + '\n';
    return kept;
}

static SimRun RunSim(unsigned long frames)
{
    const std::string dir = ::testing::TempDir();
    const std::string outPath = dir + "quarvel_soak_out.txt";
    const std::string errPath = dir + "quarvel_soak_err.txt";
    const std::string framesText = std::to_string(frames);
    const std::vector<std::string> args = {QUARVEL_SIM,     "--seed",     "11",   "--frames",
                                           framesText,      "--frame-ms", "random",
                                           "--random-keys", "0.05",       "--check"};

    // AddressSanitizer holds freed blocks back on purpose (256 MB by
    // default) to catch late uses; that would look like growth here, so
    // the children reuse memory as the plain allocator does.
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; ++entry)
        if (std::string(*entry).rfind("ASAN_OPTIONS=", 0) != 0)
            environment.push_back(*entry);
    const char *asan = std::getenv("ASAN_OPTIONS");
    environment.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                          ":quarantine_size_mb=0");

    SpawnOptions options;
    options.stdoutFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    options.stderrFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    options.environment = &environment;
    const pid_t child = options.stdoutFd >= 0 && options.stderrFd >= 0 ? Spawn(args, options) : -1;
    for (const int fd : {options.stdoutFd, options.stderrFd})
        if (fd >= 0)
            close(fd);

    SimRun run;
    if (child < 0) {
        run.errors = "cannot start " + args[0];
        return run;
    }
    struct rusage usage {};
    if (wait4(child, &run.exitStatus, 0, &usage) != child) {
        run.errors = "lost the child";
        return run;
    }
    run.peakKiB = usage.ru_maxrss;
    run.out = ReadFile(outPath);
    run.errors = WithoutBounces(ReadFile(errPath));
    return run;
}

TEST(SoakMemory, PeakDoesNotGrowFromATenthToAMillionFrames)
{
    const SimRun tenth = RunSim(100000);
    ASSERT_TRUE(WIFEXITED(tenth.exitStatus) && WEXITSTATUS(tenth.exitStatus) == 0)
        << "status " << tenth.exitStatus << "\n" << tenth.errors;
    ASSERT_NE(tenth.out.find("\"frames\":100000,"), std::string::npos) << tenth.out;

    const SimRun whole = RunSim(1000000);
    ASSERT_TRUE(WIFEXITED(whole.exitStatus) && WEXITSTATUS(whole.exitStatus) == 0)
        << "status " << whole.exitStatus << "\n" << whole.errors;
    ASSERT_NE(whole.out.find("\"frames\":1000000,"), std::string::npos) << whole.out;

    // Later waves have more rocks and the lists keep their largest size, so
    // a little growth is the game's own; a few bytes a frame over the nine
    // hundred thousand more frames would be megabytes.
    const long allowedKiB = tenth.peakKiB + std::max(4096L, tenth.peakKiB / 20);
    std::printf("peak resident size: %ld KiB at 100,000 frames, %ld KiB at 1,000,000\n",
                tenth.peakKiB, whole.peakKiB);
    EXPECT_LE(whole.peakKiB, allowedKiB)
        << "peak " << whole.peakKiB << " KiB after a million frames against " << tenth.peakKiB
        << " KiB after a hundred thousand";
}
