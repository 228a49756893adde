#pragma once

#include <cstdint>

#include "platform/messages.h"

// The window, the display mode, the OpenGL context and message boxes: the
// services the shell opens and closes step by step. Each step reports
// failure by its result (false or a null handle) and shows nothing itself.

// Opaque handles; null means none.
using ModuleHandle = struct VidModule *;       // the registered window class
using WindowHandle = struct VidWindow *;
using DeviceContext = struct VidSurface *;     // the window's drawing surface
using RenderContext = struct VidGLContext *;   // an OpenGL rendering context

// Message-box flags and answers, with their Windows values.
enum : uint32_t {
    MB_OK = 0x00,
    MB_YESNO = 0x04,
    MB_ICONSTOP = 0x10,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int {
    IDOK = 1,
    IDYES = 6,
    IDNO = 7,
};

// Starts the video system and registers the window procedure (the window
// class). Null when there is no video system to be had.
ModuleHandle  Vid_RegisterClass(WindowProcedure procedure);
// Stops the video system again; false on failure.
bool          Vid_UnregisterClass(ModuleHandle module);

// Switches the display to exactly width x height at bits per pixel (32 is
// 4 bytes per pixel, 16 is 2) for a full-screen window.
bool          Vid_ChangeDisplayMode(int width, int height, int bits);
// Puts the desktop's own display mode back; false on failure.
bool          Vid_RestoreDisplayMode();
void          Vid_ShowCursor(bool show);

// A window with a width x height client area: borderless over the whole
// display (in the mode last changed to) or decorated. Null on failure.
WindowHandle  Vid_CreateWindow(ModuleHandle module, const char *title, int width, int height,
                               bool fullscreen);
bool          Vid_DestroyWindow(WindowHandle window);
// Shows the window, raises it and gives it the keyboard.
void          Vid_ShowWindow(WindowHandle window);

// The drawing surface of the window.
DeviceContext Vid_GetDeviceContext(WindowHandle window);
bool          Vid_ReleaseDeviceContext(WindowHandle window, DeviceContext surface);
// A double-buffered RGBA format with colourBits and depthBits; 0 when none.
int           Vid_ChoosePixelFormat(DeviceContext surface, int colourBits, int depthBits);
bool          Vid_SetPixelFormat(DeviceContext surface, int format);
// The OpenGL rendering context.
RenderContext Vid_CreateContext(DeviceContext surface);
bool          Vid_MakeCurrent(DeviceContext surface, RenderContext context);
// Leaves no context current; false on failure.
bool          Vid_ReleaseCurrent();
bool          Vid_DeleteContext(RenderContext context);
void          Vid_SwapBuffers(DeviceContext surface);
// 0 or 1 for the current context; false when the driver has no swap control.
bool          Vid_SetSwapInterval(int interval);

// Shows a message box and returns the answer. With no display to show it
// on, or when a close signal comes first or ends the box while it waits,
// writes caption and text to stderr and returns IDNO for a question, IDOK
// otherwise. The box never outlives the game.
int           Vid_MessageBox(const char *text, const char *caption, uint32_t flags);
