#pragma once

#include <cstdint>

#include "platform/video.h"

// The game's one window and its rendering context, for the whole run.
extern bool          windowActive;   // false while minimised: no frames run
extern bool          fullscreen;     // the window is, or is to be, full screen
extern ModuleHandle  instanceHandle; // the registered window class
extern WindowHandle  windowHandle;
extern DeviceContext deviceContext;  // also used to swap buffers
extern RenderContext renderContext;  // current between open and close

// Builds the window step by step and ends with the render set-up. Every
// failure is shown in a message box and what this attempt made is released.
bool     OpenGameWindow(const char *title, int width, int height, int bits, bool fullscreenFlag);
// Releases everything in order, going on past failures (each is shown).
void     CloseGameWindow();
// Turns activation, close, key and size messages into shell state.
intptr_t GameWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
