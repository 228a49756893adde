#pragma once

#include <string>

// The game's OpenGL 1.1 and GLU, drawn with WebGL in the browser. The game's
// layers call glBegin, glLightfv, gluSphere ... through system/opengl.h as
// on every other system; this module is what answers them on the web.

// Makes a WebGL context (with a depth buffer) on the canvas that the
// CSS selector names, and makes it current; false, with the reason
// in *error, when the browser has no WebGL.
bool WebGl_CreateContext(const char *canvasSelector, std::string *error);
// Lets go of the context and everything the module made for it.
void WebGl_DestroyContext();
