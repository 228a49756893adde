#pragma once

#include "math/vector3.h"

// Hue in degrees 0..360 (-1: no hue, grey), saturation and value 0..1.
// Returns (red, green, blue).
Vector3 HsvToRgb(const float &hue, const float &saturation, const float &value);
// Returns (hue, saturation, value); black and greys give (-1, 0, 0).
Vector3 RgbToHsv(const float &red, const float &green, const float &blue);
