#include <gtest/gtest.h>

#include "math/colour.h"

static constexpr float kTolerance = 1e-6f;

static void ExpectColour(const Vector3 &c, float x, float y, float z, const char *what)
{
    EXPECT_NEAR(c.x, x, kTolerance) << what;
    EXPECT_NEAR(c.y, y, kTolerance) << what;
    EXPECT_NEAR(c.z, z, kTolerance) << what;
}

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
    ExpectColour(Hsv(0, 1, 1), 1, 0, 0, "red");
    ExpectColour(Hsv(120, 1, 1), 0, 1, 0, "green");
    ExpectColour(Hsv(240, 1, 1), 0, 0, 1, "blue");
    ExpectColour(Hsv(30, 1, 1), 1, 0.5f, 0, "orange");
    ExpectColour(Hsv(300, 1, 1), 1, 0, 1, "magenta, sector 5");
    ExpectColour(Hsv(180, 0.5f, 0.8f), 0.4f, 0.8f, 0.8f, "cyan-ish, sector 3");
}

TEST(HsvToRgb, HueOf360IsRedAndGreyHasNoHue)
{
    const Vector3 red = Hsv(360, 1, 1);
    EXPECT_EQ(red.x, 1.0f);
    EXPECT_EQ(red.y, 0.0f) << "hue 360 must not fall into sector 6 (last row)";
    EXPECT_EQ(red.z, 0.0f);
    ExpectColour(Hsv(-1, 1, 1), 1, 1, 1, "no hue gives grey at the value");
    ExpectColour(Hsv(200, 0, 0.7f), 0.7f, 0.7f, 0.7f, "zero saturation");
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
    ExpectColour(Rgb(1, 0, 0), 0, 1, 1, "red");
    ExpectColour(Rgb(0, 1, 0), 120, 1, 1, "green");
    ExpectColour(Rgb(0, 0, 1), 240, 1, 1, "blue");
    ExpectColour(Rgb(1, 1, 0), 60, 1, 1, "yellow: red rule wins the tie");
    ExpectColour(Rgb(0, 1, 1), 180, 1, 1, "cyan: green rule wins the tie");
    ExpectColour(Rgb(1, 0, 1), 300, 1, 1, "magenta wraps below zero");
    ExpectColour(Rgb(0.8f, 0.4f, 0.4f), 0, 0.5f, 0.8f, "pale red");
}

TEST(RgbToHsv, BlackAndGreyHaveNoHueAndZeroValue)
{
    ExpectColour(Rgb(0, 0, 0), -1, 0, 0, "black");
    ExpectColour(Rgb(0.5f, 0.5f, 0.5f), -1, 0, 0, "grey reports value 0, like black");
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
