#pragma once

#include <cstdint>
#include <string>

// Writes an RGBA picture read from OpenGL (rows bottom up) to path as an
// 8-bit RGB PNG, top row first. False, with the reason in error, when the
// file cannot be written.
bool WritePng(const std::string &path, int width, int height, const uint8_t *rgbaBottomUp,
              std::string &error);
