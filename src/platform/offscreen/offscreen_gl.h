#pragma once

// A real OpenGL compatibility context with no window on screen, for tests
// and the headless tools. On Linux SDL's offscreen driver over Mesa, so it
// needs no X server; on Windows a hidden window with a WGL context. The
// context is current on the calling thread until closed.

// Opens a hidden width x height window with a double-buffered RGBA context
// and a 16-bit depth buffer. False, with the reason in OffscreenGL_Error,
// when no context can be had.
bool        OffscreenGL_Open(int width, int height);
// Releases the context and the window; safe when nothing is open.
void        OffscreenGL_Close();
// Why the last OffscreenGL_Open failed.
const char *OffscreenGL_Error();
