#include <gtest/gtest.h>

#include "system/opengl.h"

#include "expect_vector.h"
#include "gl_test.h"
#include "math/colour.h"
#include "objects/explosion_light.h"
#include "objects/rock.h"
#include "system/random.h"
#include "world/world.h"

static void ExpectFour(const float *actual, float a, float b, float c, float d, const char *what)
{
    EXPECT_NEAR(actual[0], a, tolerance) << what;
    EXPECT_NEAR(actual[1], b, tolerance) << what;
    EXPECT_NEAR(actual[2], c, tolerance) << what;
    EXPECT_NEAR(actual[3], d, tolerance) << what;
}

// A rock at (x, y) whose colours all have the given hue.
static Rock RockOfHue(float x, float y, int hue)
{
    Rock rock(x, y, 0.0f);
    rock.GenerateRockColours(hue);
    return rock;
}

// Updates a light lit in (r, g, b) until its colour is zero; the number of updates.
static int UpdatesUntilDark(float r, float g, float b, int frameMs)
{
    ExplosionLight light(GL_LIGHT1, true);
    light.diffuse[0] = r;
    light.diffuse[1] = g;
    light.diffuse[2] = b;
    for (int update = 1; update <= 1000; ++update) {
        light.Update(frameMs);
        if (light.diffuse[0] == 0.0f && light.diffuse[1] == 0.0f && light.diffuse[2] == 0.0f)
            return update;
    }
    return -1;
}

class LightRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetWorld();
        GameSrand(808);
    }
    void TearDown() override { ResetWorld(); }
};

TEST_F(LightRing, SevenDarkLightsAreMadeOnceAndStandFirst)
{
    CreateExplosionLights();
    CreateExplosionLights();
    ASSERT_EQ(world.lights.size(), 7u) << "a second set-up makes no more";
    ASSERT_EQ(world.objects.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        const ExplosionLight *light = world.lights[i];
        EXPECT_EQ(world.objects[i].get(), light) << "light " << i;
        EXPECT_EQ(light->lightId, GL_LIGHT1 + i);
        EXPECT_TRUE(light->enabled);
        ExpectFour(light->diffuse, 0, 0, 0, 1, "dark until a kill");
        ExpectFour(light->ambient, 0, 0, 0, 1, "ambient");
        ExpectFour(light->specular, 1, 1, 1, 1, "specular");
        ExpectFour(light->lightPosition, 0, 0, 0, 1, "a point light");
    }
}

TEST_F(LightRing, EachKillTakesTheNextLightAndTheEighthTakesTheFirstAgain)
{
    CreateExplosionLights();
    world.lights[0]->diffuse[3] = 0.25f; // a kill sets the alpha afresh
    for (int kill = 0; kill < 8; ++kill) {
        SCOPED_TRACE(kill);
        const Rock rock = RockOfHue(-3.5f + kill, 2.0f - kill, 45 * kill);
        IgniteExplosionLight(rock);
        EXPECT_EQ(world.lightIndex, (kill + 1) % 7);
        const ExplosionLight *light = world.lights[kill % 7];
        ExpectFour(light->lightPosition, rock.position.x, rock.position.y, 3, 1,
                   "at the rock, 3 units towards the camera");
        const Vector3 full = HsvToRgb(static_cast<float>(45 * kill), 1.0f, 1.0f);
        ExpectFour(light->diffuse, full.x, full.y, full.z, 1, "the rock's hue at full saturation");
    }
    // The eighth kill (hue 315) took the first light; the second keeps hue 45.
    ExpectFour(world.lights[1]->diffuse, 1.0f, 0.75f, 0.0f, 1.0f, "second light untouched");

    // With no lights at all a kill has nothing to take.
    ResetWorld();
    IgniteExplosionLight(RockOfHue(1.0f, 1.0f, 90));
    EXPECT_EQ(world.lightIndex, 0);
    EXPECT_TRUE(world.lights.empty());
}

TEST(ExplosionLightFade, FadesAboveTheThresholdAndGoesDarkAtOrBelowIt)
{
    ExplosionLight light(GL_LIGHT2, true);
    light.diffuse[0] = 0.05f;
    light.Update(20);
    ExpectFour(light.diffuse, 0, 0, 0, 1, "a sum of exactly 0.05 goes dark");

    light.diffuse[2] = 0.0501f;
    light.Update(20);
    EXPECT_NEAR(light.diffuse[2], 0.0501f * 0.96f, 1e-7f) << "just above 0.05 still fades";

    light.diffuse[0] = 0.5f;
    light.diffuse[1] = 0.25f;
    light.diffuse[2] = 1.0f;
    light.lightPosition[0] = 4.0f;
    light.Update(0);
    ExpectFour(light.diffuse, 0.5f, 0.25f, 1.0f, 1.0f, "frame time 0");
    light.Update(100);
    ExpectFour(light.diffuse, 0.4f, 0.2f, 0.8f, 1.0f, "faded by 1 - 100 x 0.002");
    ExpectFour(light.lightPosition, 4, 0, 0, 1, "fading leaves the position");
    ExpectFour(light.ambient, 0, 0, 0, 1, "fading leaves the ambient");
    ExpectFour(light.specular, 1, 1, 1, 1, "fading leaves the specular");
}

TEST(ExplosionLightFade, RedAndYellowGoDarkOnTheirKnownUpdates)
{
    EXPECT_EQ(UpdatesUntilDark(1, 0, 0, 20), 75);
    EXPECT_EQ(UpdatesUntilDark(1, 1, 0, 20), 92);
    EXPECT_EQ(UpdatesUntilDark(1, 0, 0, 16), 94);
    EXPECT_EQ(UpdatesUntilDark(1, 1, 0, 16), 115);
}

class ExplosionLightDraw : public GlTest {};

TEST_F(ExplosionLightDraw, HandsItsStateToGlThroughTheCameraOrSwitchesOff)
{
    ExplosionLight light(GL_LIGHT3, true);
    light.lightPosition[0] = 4.0f;
    light.lightPosition[1] = -2.0f;
    light.lightPosition[2] = 3.0f;
    light.diffuse[0] = 1.0f;
    light.diffuse[1] = 0.5f;
    glDisable(GL_LIGHT3);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -20.0f);
    light.Draw();
    glPopMatrix();

    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    GLfloat value[4] = {};
    glGetLightfv(GL_LIGHT3, GL_POSITION, value);
    ExpectFour(value, 4, -2, -17, 1, "eye coordinates: through the camera");
    glGetLightfv(GL_LIGHT3, GL_AMBIENT, value);
    ExpectFour(value, 0, 0, 0, 1, "ambient");
    glGetLightfv(GL_LIGHT3, GL_DIFFUSE, value);
    ExpectFour(value, 1, 0.5f, 0, 1, "diffuse");
    glGetLightfv(GL_LIGHT3, GL_SPECULAR, value);
    ExpectFour(value, 1, 1, 1, 1, "specular");
    glGetLightfv(GL_LIGHT3, GL_QUADRATIC_ATTENUATION, value);
    EXPECT_NEAR(value[0], 0.1f, 1e-7f);
    glGetLightfv(GL_LIGHT3, GL_CONSTANT_ATTENUATION, value);
    EXPECT_EQ(value[0], 1.0f);
    glGetLightfv(GL_LIGHT3, GL_LINEAR_ATTENUATION, value);
    EXPECT_EQ(value[0], 0.0f);

    light.enabled = false;
    light.Draw();
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
