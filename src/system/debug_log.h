#pragma once

// One diagnostic line on stderr: "DEBUG: " + text + CR LF, in one write.
// A text too long for the 2048-byte line is cut before the CR LF.
void DebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
