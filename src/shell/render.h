#pragma once

#include <GL/gl.h>

// First of the font's 256 display lists; 0 when none could be made.
extern GLuint fontListBase;

// Sets the swap interval (0 or 1); null until a context offers swap
// control, and kept once one did.
extern bool (*swapIntervalProc)(int interval);

// Everything a new rendering context needs: swap control, the fixed GL
// state, the text font and the lighting.
void   SetupRenderState();
// Looks for swap control; logs once when there is none.
void   InitVSync();
// Logs "SetVSyncState(true|false)" and sets the interval when it can.
void   SetVSyncState(bool on);
// 256 display lists of bitmap glyphs for codes 0..254 (the last list stays
// empty); height is a Windows font height, negative for character height.
// Returns the first list, 0 when no lists could be had.
GLuint CreateTextFont(const char *face, int height, int quality, int weight, bool italic,
                      bool underline, bool strikeOut);

// Fixed lighting (a dim white GL_LIGHT0, colour material) and, the first
// time only, the seven explosion lights.
void SetupLighting();

// printf-style text at (x, y) in a 640 x 480 overlay with its origin at the
// lower left, in the current colour. Depth test, lighting and the matrix
// mode are restored afterwards. Text longer than 259 bytes is cut.
void PrintText(GLuint listBase, float x, float y, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// One diagnostic line on stderr: "DEBUG: " + text + CR LF, in one write.
// A text too long for the 2048-byte line is cut before the CR LF.
void DebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
