#include "objects/explosion_light.h"

#include "system/opengl.h"

#include "math/colour.h"
#include "objects/rock.h"
#include "objects/world_state.h"

ExplosionLight::ExplosionLight(int lightId, bool enabled) : enabled(enabled), lightId(lightId)
{
}

void ExplosionLight::Draw()
{
    const GLenum light = static_cast<GLenum>(lightId);
    if (!enabled) {
        glDisable(light);
        return;
    }
    // A dark light stays on; it just adds no diffuse light. The position is
    // taken through the camera the draw pass has already set.
    glEnable(light);
    glLightf(light, GL_QUADRATIC_ATTENUATION, 0.1f);
    glLightfv(light, GL_POSITION, lightPosition);
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
}

void ExplosionLight::Update(int frameMs)
{
    // Fades roughly as e^(-2t); once the colour sums to 0.05 or less it
    // goes dark at once.
    if (diffuse[0] + diffuse[1] + diffuse[2] > 0.05f) {
        const float fade = 1.0f - static_cast<float>(frameMs) * 0.002f;
        diffuse[0] *= fade;
        diffuse[1] *= fade;
        diffuse[2] *= fade;
    } else {
        diffuse[0] = diffuse[1] = diffuse[2] = 0.0f;
    }
}

void CreateExplosionLights()
{
    // Made once per run, so they stay first in world.objects.
    if (!world.lights.empty())
        return;
    for (int i = 1; i <= explosionLightCount; ++i) {
        ExplosionLight *light = new ExplosionLight(GL_LIGHT0 + i, true);
        world.lights.push_back(light);
        AddObject(light);
    }
}

void IgniteExplosionLight(const Rock &rock)
{
    // With no lights there is nothing to take over.
    if (world.lights.empty())
        return;

    // Every vertex of a rock shares one hue: vertex 0 stands for the rock.
    const Vector3 &shade = rock.colours[0];
    const Vector3 hsv = RgbToHsv(shade.x, shade.y, shade.z);
    const float one = 1.0f;
    const Vector3 colour = HsvToRgb(hsv.x, one, one);

    // A light still glowing from an earlier kill is simply taken over.
    ExplosionLight *light = world.lights[static_cast<size_t>(world.lightIndex)];
    light->diffuse[0] = colour.x;
    light->diffuse[1] = colour.y;
    light->diffuse[2] = colour.z;
    light->diffuse[3] = 1.0f;
    // Three units in front of the playfield, towards the camera.
    light->lightPosition[0] = rock.position.x;
    light->lightPosition[1] = rock.position.y;
    light->lightPosition[2] = 3.0f;
    light->lightPosition[3] = 1.0f;

    world.lightIndex = world.lightIndex + 1;
    if (static_cast<size_t>(world.lightIndex) > world.lights.size() - 1)
        world.lightIndex = 0;
}
