#pragma once

// Whether the X server on displayName only emulates its display modes: an
// XWayland server of a Wayland compositor, where a mode change is a
// viewport the compositor scales over the output (a 4:3 mode stretched
// over a 16:9 output), never a real switch. False where it cannot tell.
bool X11_ModesAreEmulated(const char *displayName);
