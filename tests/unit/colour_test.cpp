#include <gtest/gtest.h>

#include "expect_vector.h"
#include "math/colour.h"

static Vector3 Hsv(float h, float s, float v)
{
    return HsvToRgb(h, s, v);
}

static Vector3 Rgb(float r, float g, float b)
{
    return RgbToHsv(r, g, b);
}

TEST(HsvToRgb, PrimaryAndSectorColours)
{
    ExpectNear(Hsv(0, 1, 1), 1, 0, 0, "red", mathsTolerance);
    ExpectNear(Hsv(120, 1, 1), 0, 1, 0, "green", mathsTolerance);
    ExpectNear(Hsv(240, 1, 1), 0, 0, 1, "blue", mathsTolerance);
    ExpectNear(Hsv(30, 1, 1), 1, 0.5f, 0, "orange", mathsTolerance);
    ExpectNear(Hsv(300, 1, 1), 1, 0, 1, "magenta, sector 5", mathsTolerance);
    ExpectNear(Hsv(180, 0.5f, 0.8f), 0.4f, 0.8f, 0.8f, "cyan-ish, sector 3", mathsTolerance);
}

TEST(HsvToRgb, HueOf360IsRedAndGreyHasNoHue)
{
    const Vector3 red = Hsv(360, 1, 1);
    EXPECT_EQ(red.x, 1.0f);
    EXPECT_EQ(red.y, 0.0f) << "hue 360 must not fall into sector 6 (last row)";
    EXPECT_EQ(red.z, 0.0f);
    ExpectNear(Hsv(-1, 1, 1), 1, 1, 1, "no hue gives grey at the value", mathsTolerance);
    ExpectNear(Hsv(200, 0, 0.7f), 0.7f, 0.7f, 0.7f, "zero saturation", mathsTolerance);
}

TEST(HsvToRgb, MultipliesByTheFloatNearestASixtieth)
{
    // In sector 0 at full saturation and value, green is the fraction f.
    // 21 * 0.016666668f is 0.350000024, while 21 / 60 would give 0.349999994.
    const Vector3 c = Hsv(21.0f, 1.0f, 1.0f);
    EXPECT_EQ(c.y, 0.350000024f);
    EXPECT_NE(c.y, 21.0f / 60.0f) << "the hue must be multiplied, not divided by 60";
}

TEST(RgbToHsv, PrimaryAndMixedColours)
{
    ExpectNear(Rgb(1, 0, 0), 0, 1, 1, "red", mathsTolerance);
    ExpectNear(Rgb(0, 1, 0), 120, 1, 1, "green", mathsTolerance);
    ExpectNear(Rgb(0, 0, 1), 240, 1, 1, "blue", mathsTolerance);
    ExpectNear(Rgb(1, 1, 0), 60, 1, 1, "yellow: red rule wins the tie", mathsTolerance);
    ExpectNear(Rgb(0, 1, 1), 180, 1, 1, "cyan: green rule wins the tie", mathsTolerance);
    ExpectNear(Rgb(1, 0, 1), 300, 1, 1, "magenta wraps below zero", mathsTolerance);
    ExpectNear(Rgb(0.8f, 0.4f, 0.4f), 0, 0.5f, 0.8f, "pale red", mathsTolerance);
}

TEST(RgbToHsv, BlackAndGreyHaveNoHueAndZeroValue)
{
    ExpectNear(Rgb(0, 0, 0), -1, 0, 0, "black", mathsTolerance);
    ExpectNear(Rgb(0.5f, 0.5f, 0.5f), -1, 0, 0, "grey reports value 0, like black", mathsTolerance);
}

TEST(ColourRoundTrip, AnyColourComesBackFullySaturatedOrWhite)
{
    const float samples[] = {0.0f, 0.13f, 0.4f, 0.5f, 0.77f, 0.99f, 1.0f};
    for (float r : samples)
        for (float g : samples)
            for (float b : samples) {
                const Vector3 hsv = Rgb(r, g, b);
                const Vector3 back = Hsv(hsv.x, 1.0f, 1.0f);
                const float hi = std::max(back.x, std::max(back.y, back.z));
                const float lo = std::min(back.x, std::min(back.y, back.z));
                EXPECT_EQ(hi, 1.0f) << r << "," << g << "," << b;
                if (r == g && g == b)
                    EXPECT_EQ(lo, 1.0f) << "grey " << r << " comes back white";
                else
                    EXPECT_NEAR(lo, 0.0f, 1e-6f) << r << "," << g << "," << b << " saturated";
            }
}
