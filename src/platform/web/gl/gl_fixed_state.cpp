// The game's OpenGL 1.1 fixed-function settings: the lights and colour
// material, and how triangles and points are rasterised, blended and
// cleared. Each is kept for the WebGL side and handed to it when it
// changes; a setting the game's OpenGL does not draw is refused.

#include "platform/web/gl/gl_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

// ---------------------------------------------------------------- lighting

void glLightfv(GLenum lightName, GLenum pname, const GLfloat *params)
{
    if (!Gl_MayChangeState("glLightfv"))
        return;
    if (lightName < GL_LIGHT0 || lightName >= GL_LIGHT0 + 8) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    Light &light = webGl.lights[lightName - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT: std::memcpy(light.ambient, params, sizeof light.ambient); break;
    case GL_DIFFUSE: std::memcpy(light.diffuse, params, sizeof light.diffuse); break;
    // Kept, but it lights nothing: the material's specular colour is
    // black, as no glMaterial call is answered here to change it.
    case GL_SPECULAR: std::memcpy(light.specular, params, sizeof light.specular); break;
    // Taken into eye coordinates through the modelview matrix of the moment.
    case GL_POSITION: Gl_Transform(light.position, webGl.modelview.back().data(), params); break;
    case GL_CONSTANT_ATTENUATION:
    case GL_LINEAR_ATTENUATION:
    case GL_QUADRATIC_ATTENUATION:
        if (params[0] < 0.0f) {
            Gl_SetError(GL_INVALID_VALUE);
            return;
        }
        light.attenuation[pname - GL_CONSTANT_ATTENUATION] = params[0];
        break;
    default: Gl_Refuse(GL_INVALID_ENUM, "glLight of a spotlight's parameters"); break;
    }
}

void glLightf(GLenum light, GLenum pname, GLfloat param)
{
    if (pname != GL_CONSTANT_ATTENUATION && pname != GL_LINEAR_ATTENUATION &&
        pname != GL_QUADRATIC_ATTENUATION && pname != GL_SPOT_EXPONENT &&
        pname != GL_SPOT_CUTOFF) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    glLightfv(light, pname, &param);
}

void glColorMaterial(GLenum face, GLenum mode)
{
    if (!Gl_MayChangeState("glColorMaterial"))
        return;
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    if (mode != GL_AMBIENT && mode != GL_DIFFUSE && mode != GL_AMBIENT_AND_DIFFUSE) {
        Gl_Refuse(GL_INVALID_ENUM, "glColorMaterial for emission or specular");
        return;
    }
    webGl.colourMaterialFace = face;
    webGl.colourMaterialMode = mode;
    Gl_TrackColour();
}

// ---------------------------------------------------------------- rasterisation

void glShadeModel(GLenum mode)
{
    if (!Gl_MayChangeState("glShadeModel"))
        return;
    if (mode != GL_FLAT && mode != GL_SMOOTH) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    webGl.shadeModel = mode;
}

void glPointSize(GLfloat size)
{
    if (!Gl_MayChangeState("glPointSize"))
        return;
    if (!(size > 0.0f)) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    webGl.pointSize = size;
}

void glPolygonMode(GLenum face, GLenum mode)
{
    if (!Gl_MayChangeState("glPolygonMode"))
        return;
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    // Filled is all WebGL draws, and all the game asks for.
    if (mode != GL_FILL)
        Gl_Refuse(GL_INVALID_ENUM, "glPolygonMode with GL_POINT or GL_LINE");
}

void glFrontFace(GLenum mode)
{
    if (!Gl_MayChangeState("glFrontFace"))
        return;
    if (mode != GL_CW && mode != GL_CCW) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    webGl.frontFace = mode;
    WebGl_Apply(GL_FRONT_FACE);
}

void glCullFace(GLenum mode)
{
    if (!Gl_MayChangeState("glCullFace"))
        return;
    if (mode != GL_FRONT && mode != GL_BACK && mode != GL_FRONT_AND_BACK) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    webGl.cullFaceMode = mode;
    WebGl_Apply(GL_CULL_FACE_MODE);
}

void glDepthFunc(GLenum func)
{
    if (!Gl_MayChangeState("glDepthFunc"))
        return;
    if (func < GL_NEVER || func > GL_ALWAYS) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    webGl.depthFunc = func;
    WebGl_Apply(GL_DEPTH_FUNC);
}

static bool BlendFactor(GLenum factor, bool source)
{
    switch (factor) {
    case GL_ZERO: case GL_ONE: case GL_SRC_ALPHA: case GL_ONE_MINUS_SRC_ALPHA:
    case GL_DST_ALPHA: case GL_ONE_MINUS_DST_ALPHA:
        return true;
    case GL_SRC_COLOR: case GL_ONE_MINUS_SRC_COLOR: return !source;
    case GL_DST_COLOR: case GL_ONE_MINUS_DST_COLOR: case GL_SRC_ALPHA_SATURATE: return source;
    default: return false;
    }
}

void glBlendFunc(GLenum source, GLenum destination)
{
    if (!Gl_MayChangeState("glBlendFunc"))
        return;
    if (!BlendFactor(source, true) || !BlendFactor(destination, false)) {
        Gl_SetError(GL_INVALID_ENUM);
        return;
    }
    webGl.blendSource = source;
    webGl.blendDestination = destination;
    WebGl_Apply(GL_BLEND_SRC);
}

void glHint(GLenum target, GLenum mode)
{
    if (!Gl_MayChangeState("glHint"))
        return;
    // Hints leave the picture to the implementation; WebGL decides alike.
    if (mode != GL_FASTEST && mode != GL_NICEST && mode != GL_DONT_CARE)
        Gl_SetError(GL_INVALID_ENUM);
    (void)target;
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    if (!Gl_MayChangeState("glClearColor"))
        return;
    const float colour[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i)
        webGl.clearColour[i] = std::fmin(std::fmax(colour[i], 0.0f), 1.0f);
    WebGl_Apply(GL_COLOR_CLEAR_VALUE);
}

void glClearDepth(GLclampd depth)
{
    if (!Gl_MayChangeState("glClearDepth"))
        return;
    webGl.clearDepth = std::fmin(std::fmax(depth, 0.0), 1.0);
    WebGl_Apply(GL_DEPTH_CLEAR_VALUE);
}

void glClear(GLbitfield mask)
{
    if (!Gl_MayChangeState("glClear"))
        return;
    if (mask & ~(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)) {
        Gl_Refuse(GL_INVALID_VALUE, "glClear of the stencil or accumulation buffer");
        return;
    }
    WebGl_Clear(mask);
}
