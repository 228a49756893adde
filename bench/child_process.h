#pragma once

#include <sys/types.h>

// The program a probe watches, run as a child of the probe.

// Starts argv[0] with argv, stdout to stdoutPath and stderr to stderrPath
// (appended; a null stdoutPath means /dev/null, a null stderrPath keeps
// the probe's). The child gets SIGTERM should the probe die first. -1 when
// it cannot be started.
pid_t StartChild(char *const argv[], const char *stdoutPath, const char *stderrPath);
// Waits for the child to end. status as from waitpid; maxRssKb is its peak
// resident set in KiB as the kernel counted it.
bool  WaitChild(pid_t pid, int &status, long &maxRssKb);
// Sends SIGTERM and waits at most timeoutMs, then SIGKILL and waits.
bool  StopChild(pid_t pid, int timeoutMs, int &status, long &maxRssKb);
// VmHWM of a live process in KiB, from /proc; -1 when it cannot be read.
long  ReadPeakResidentKb(pid_t pid);
// Milliseconds of the monotonic clock.
double NowMs();
