#include "math/picture_rect.h"

PictureRect FitPicture(int width, int height)
{
    // In 64 bits: a size can be anything a window message carries.
    const long long w = width > 0 ? width : 0;
    const long long h = height > 0 ? height : 0;
    long long pictureWidth = w;
    long long pictureHeight = h;
    // Wider than 4:3 keeps the height, taller keeps the width; the other
    // side is rounded to the nearest pixel, which never leaves the drawable
    // (the exact side is at most the drawable's, a whole number).
    if (w * 3 > h * 4)
        pictureWidth = (h * 8 + 3) / 6;
    else
        pictureHeight = (w * 6 + 4) / 8;
    return {static_cast<int>((w - pictureWidth) / 2), static_cast<int>((h - pictureHeight) / 2),
            static_cast<int>(pictureWidth), static_cast<int>(pictureHeight)};
}
