#include "math/colour.h"

#include <algorithm>
#include <cmath>

Vector3 HsvToRgb(const float &hue, const float &saturation, const float &value)
{
    const float s = saturation, v = value;
    if (s == 0.0f || hue < 0.0f)
        return {v, v, v};

    // 360 is the same colour as 0. Other hues are multiplied by the float
    // nearest 1/60, not divided by 60: the two differ in the last bit.
    const float h = hue == 360.0f ? 0.0f : hue * 0.016666668f;
    const int i = static_cast<int>(std::floor(h));
    const float f = h - static_cast<float>(i);
    const float p = (1.0f - s) * v;
    const float q = (1.0f - f * s) * v;
    const float t = (1.0f - (1.0f - f) * s) * v;

    switch (i) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q}; // hues past 360 are not wrapped
    }
}

Vector3 RgbToHsv(const float &red, const float &green, const float &blue)
{
    const float r = red, g = green, b = blue;
    const float max = std::max(r, std::max(g, b));
    const float min = std::min(r, std::min(g, b));
    if (max == 0.0f)
        return {-1.0f, 0.0f, 0.0f};

    const float delta = max - min;
    const float s = delta / max;
    if (s == 0.0f)
        return {-1.0f, 0.0f, 0.0f}; // grey: the value is reported as 0, like black

    float h;
    if (r == max)
        h = (g - b) / delta;
    else if (g == max)
        h = (b - r) / delta + 2.0f;
    else
        h = (r - g) / delta + 4.0f;

    h = h * 60.0f;
    if (h < 0.0f)
        h = h + 360.0f;
    return {h, s, max};
}
