#pragma once

// One diagnostic line on stderr: "DEBUG: " + text + CR LF, in one write.
// A text too long for the 2048-byte line is cut before the CR LF. A line
// stderr cannot take at once (a reader that stopped reading) is dropped.
void DebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A line of the platform's own on stderr, the text as it is (the caller
// ends it with "\n"), in one write and dropped like DebugLog's; a text too
// long for the 2048-byte line is cut, its line end with it.
void StderrLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
