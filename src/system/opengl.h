#pragma once

// OpenGL 1.1 and GLU, the same on every system the game runs on.
//
// On Windows, GL/gl.h and GL/glu.h expect three of windows.h's macros, and
// MinGW's gl.h pulls in all of windows.h when they are missing. windows.h
// would bring thousands of macros (VK_..., WM_..., MB_..., IDOK) into every
// game file, where the platform seam has its own names with the same
// values. So the three are given here just for the two headers and taken
// back afterwards; only the Windows backend's files include windows.h.
#if defined(_WIN32) && !defined(_WINDOWS_)
#define WINGDIAPI __declspec(dllimport)
#define APIENTRY __stdcall
#define CALLBACK __stdcall
#include <GL/gl.h>
#include <GL/glu.h>
#undef WINGDIAPI
#undef APIENTRY
#undef CALLBACK
#else
// In the browser (__EMSCRIPTEN__) these are emscripten's copies of the same
// headers, and the game's own module (platform/web/gl) answers the calls.
#include <GL/gl.h>
#include <GL/glu.h>
#endif

// The type GLU takes its callbacks as.
#ifdef _WIN32
using GluCallback = void(__stdcall *)();
#else
using GluCallback = _GLUfuncptr;
#endif
