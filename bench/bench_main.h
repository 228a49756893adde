#pragma once

#include "system/opengl.h"

// True once bench_main has an offscreen GL context current, set up as the
// game's render set-up leaves it.
extern bool benchGLReady;

// The font exactly as the render set-up asks for it; the first list.
GLuint MakeGameFont();
