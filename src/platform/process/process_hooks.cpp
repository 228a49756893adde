// The process's signal handlers and fork hooks, in one place.

#include "platform/process/process_hooks.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include "platform/process/box_processes.h"
#include "platform/process/mode_guardian.h"

// The signals that ask the game to close.
static constexpr int closeSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Set by the close handler, taken by the message queue as one WM_CLOSE.
// The handler may run on any thread (the GL driver's among them), hence an
// atomic, and one without a lock, which a signal handler may touch.
static std::atomic<int> closeRequested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the close handler needs a lock-free flag");

// pthread_atfork hooks cannot be taken back: registered once for the
// process's life, which is why this one flag is never reset.
static bool forkHooksRegistered = false;

// Only sets a flag and ends a message box that is up, both safe in a signal
// handler: the close request goes out through the message queue, where the
// game ends the normal way and puts the desktop back.
static void RequestClose(int)
{
    const int savedErrno = errno;
    closeRequested.store(1);
    Box_End();
    errno = savedErrno;
}

static void ChildEnded(int)
{
    const int savedErrno = errno;
    Guardian_ReapIfEnded();
    errno = savedErrno;
}

// After a fork, in the game.
static void Forked()
{
    Box_Forked();
    // A close request that came before the box's pidfd was held found
    // nothing to end; the flag is set before the handler looks, the pidfd
    // before this
    if (closeRequested.load())
        Box_End();
}

// After a fork, in the child: without the guardian's pipes there, the
// guardian hears of the game's end when the game ends, not when that child
// does. A box's process goes with a close signal sent to it alone.
static void ForkedChild()
{
    Guardian_ForgetInChild();
    if (!Box_ForkedChild())
        return;
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (const int closing : closeSignals)
        sigaction(closing, &byDefault, nullptr);
}

// A launcher or service manager may start the game with stdin, stdout or
// stderr closed. The next file opened (the X connection) would take that
// number, and stderr lines would go into it: /dev/null holds the place.
static void KeepStandardDescriptorsOpen()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free number: fd itself, those below it being open
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

void Process_Start()
{
    KeepStandardDescriptorsOpen();
    // The guardian is this program started again: it goes no further
    Guardian_RunIfGuardian();

    // A log line that cannot be written (stderr a pipe whose reader has
    // gone) is dropped; the game goes on.
    std::signal(SIGPIPE, SIG_IGN);

    // The terminal closing (SIGHUP) and Ctrl+\ (SIGQUIT) end the game the
    // same normal way as Ctrl+C and SIGTERM. No SA_RESTART: a close request
    // interrupts a system call that blocks (a write to a stderr nobody
    // reads any more) instead of going back into it, so the game gets to
    // its message loop and ends.
    struct sigaction close {};
    close.sa_handler = RequestClose;
    sigemptyset(&close.sa_mask);
    close.sa_flags = 0;
    for (const int closing : closeSignals)
        sigaction(closing, &close, nullptr);

    struct sigaction reap {};
    reap.sa_handler = ChildEnded;
    sigemptyset(&reap.sa_mask);
    reap.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &reap, nullptr);

    if (!forkHooksRegistered)
        forkHooksRegistered = pthread_atfork(nullptr, Forked, ForkedChild) == 0;
}

bool Process_TakeCloseRequest()
{
    return closeRequested.exchange(0) != 0;
}

bool Process_CloseRequested()
{
    return closeRequested.load() != 0;
}
