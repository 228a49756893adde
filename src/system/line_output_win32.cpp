#include "system/line_output.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>

// A log line is worth less than the game. WriteFile to a pipe whose reader
// stalled blocks until it reads again, and OutputDebugStringA waits up to
// seconds for a debug monitor that hangs; either would freeze the game in
// its loop. Windows cannot say beforehand whether a pipe has room, so the
// lines go to a writer thread of their own, in order, and a line that
// finds the queue full is dropped. Only the writer ever waits.

// Lines waiting for the writer thread; room for a burst (the statistics and
// the last line at the end), not for a log that outruns its reader.
constexpr int queuedLines = 32;

struct PendingLine {
    bool   debug;       // for the debugger's output; else for stderr
    size_t length;      // bytes of text, without the terminating zero
    char   text[2049];  // as long as a DebugLog line, and its zero
};

struct LineQueue {
    SRWLOCK            lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT; // a line came or went
    PendingLine        lines[queuedLines];
    int                first = 0;        // the oldest line
    int                count = 0;        // lines waiting
    bool               writing = false;  // the writer has taken a line out
    bool               started = false;  // the writer was started (or tried)
    bool               running = false;  // and runs
};

static LineQueue queue;

// The lines go to the debugger's text output, where a debugger or
// DebugView shows them (and Wine's debug channel, with
// WINEDEBUG=warn+debugstr); the platform's own to stderr when the game has
// one (started from a console or with its output redirected). A game
// started from the desktop has none, and the line is dropped.
static void Write(const PendingLine &line)
{
    if (line.debug) {
        OutputDebugStringA(line.text);
        return;
    }
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(error, line.text, static_cast<DWORD>(line.length), &written, nullptr);
}

static DWORD WINAPI WriteLines(void *)
{
    static PendingLine taken;
    AcquireSRWLockExclusive(&queue.lock);
    for (;;) {
        while (queue.count == 0)
            SleepConditionVariableSRW(&queue.changed, &queue.lock, INFINITE, 0);
        taken = queue.lines[queue.first];
        queue.first = (queue.first + 1) % queuedLines;
        queue.count -= 1;
        queue.writing = true;
        ReleaseSRWLockExclusive(&queue.lock);
        Write(taken);
        AcquireSRWLockExclusive(&queue.lock);
        queue.writing = false;
        WakeAllConditionVariable(&queue.changed);
    }
}

// At the end of the program too: the lines still waiting (the shutdown's
// last ones) get a moment to go out.
void FlushLines()
{
    constexpr DWORD flushMs = 1000;
    const DWORD start = GetTickCount();
    AcquireSRWLockExclusive(&queue.lock);
    while (queue.running && (queue.count > 0 || queue.writing)) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= flushMs ||
            !SleepConditionVariableSRW(&queue.changed, &queue.lock, flushMs - spent, 0))
            break;
    }
    ReleaseSRWLockExclusive(&queue.lock);
}

static void Queue(bool debug, const char *line, size_t length)
{
    AcquireSRWLockExclusive(&queue.lock);
    if (!queue.started) {
        queue.started = true;
        const HANDLE writer = CreateThread(nullptr, 0, WriteLines, nullptr, 0, nullptr);
        queue.running = writer != nullptr;
        if (writer) {
            CloseHandle(writer);
            std::atexit(FlushLines);
        }
    }
    if (!queue.running) {
        // No thread to be had: the line is written here, as it comes
        ReleaseSRWLockExclusive(&queue.lock);
        static PendingLine direct;
        direct.debug = debug;
        direct.length = length < sizeof direct.text ? length : sizeof direct.text - 1;
        std::memcpy(direct.text, line, direct.length);
        direct.text[direct.length] = '\0';
        Write(direct);
        return;
    }
    if (queue.count < queuedLines) {
        PendingLine &slot = queue.lines[(queue.first + queue.count) % queuedLines];
        slot.debug = debug;
        slot.length = length < sizeof slot.text ? length : sizeof slot.text - 1;
        std::memcpy(slot.text, line, slot.length);
        slot.text[slot.length] = '\0';
        queue.count += 1;
        WakeAllConditionVariable(&queue.changed);
    }
    ReleaseSRWLockExclusive(&queue.lock);
}

void WriteDebugLine(const char *line, size_t length)
{
    Queue(true, line, length);
}

void WriteStderrLine(const char *line, size_t length)
{
    Queue(false, line, length);
}
