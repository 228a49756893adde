// The game's OpenGL 1.1 state: enables, matrices, lights, glBegin/glEnd and
// the queries the game makes. What is drawn goes to the WebGL side in
// batches; anything the game's OpenGL does not draw is refused out loud.

#include "platform/web/gl/gl_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

WebGlState webGl;

static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void Gl_SetError(GLenum error)
{
    if (webGl.error == GL_NO_ERROR)
        webGl.error = error;
}

void Gl_Refuse(GLenum error, const char *what)
{
    static std::set<std::string> said;
    if (said.insert(what).second)
        std::fprintf(stderr, "Quarvel WebGL: %s is not supported; nothing is drawn for it\n", what);
    Gl_SetError(error);
}

bool Gl_MayChangeState(const char *name)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return false;
    }
    if (webGl.compiling) {
        Gl_Refuse(GL_INVALID_OPERATION, (std::string(name) + " in a display list").c_str());
        return false;
    }
    Gl_Flush();
    return true;
}

void Gl_Flush()
{
    if (webGl.batch.empty())
        return;
    WebGl_Draw(webGl.batchPrimitive, webGl.batch.data(),
               static_cast<int>(webGl.batch.size() / vertexFloats));
    webGl.batch.clear();
}

// The batch is drawn; the browser shows the canvas when the frame's
// callback returns, so the web backend's swap calls this.
void glFlush()
{
    Gl_MayChangeState("glFlush");
}

float *Gl_CurrentMatrix()
{
    auto &stack = webGl.matrixMode == GL_MODELVIEW ? webGl.modelview : webGl.projection;
    return stack.back().data();
}

void Gl_MultiplyMatrix(float *result, const float *a, const float *b)
{
    float product[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            product[column * 4 + row] = sum;
        }
    std::memcpy(result, product, sizeof product);
}

void Gl_MultiplyCurrent(const float *m)
{
    float *current = Gl_CurrentMatrix();
    Gl_MultiplyMatrix(current, current, m);
}

void Gl_Transform(float *out, const float *m, const float *v)
{
    float result[4];
    for (int row = 0; row < 4; ++row)
        result[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
    std::memcpy(out, result, sizeof result);
}

// The new context's matrices are identities.
void Gl_ResetState()
{
    webGl = WebGlState();
    std::memcpy(webGl.modelview[0].data(), identity, sizeof identity);
    std::memcpy(webGl.projection[0].data(), identity, sizeof identity);
    webGl.lights[0].diffuse[0] = webGl.lights[0].diffuse[1] = webGl.lights[0].diffuse[2] = 1.0f;
    webGl.lights[0].specular[0] = webGl.lights[0].specular[1] = webGl.lights[0].specular[2] = 1.0f;
}

// ---------------------------------------------------------------- enables

// The flag glEnable sets for cap; nullptr for a light (handled apart) or a
// capability the game's OpenGL does not draw.
static bool *Capability(GLenum cap)
{
    switch (cap) {
    case GL_DEPTH_TEST: return &webGl.depthTest;
    case GL_CULL_FACE: return &webGl.cullFace;
    case GL_BLEND: return &webGl.blend;
    case GL_LIGHTING: return &webGl.lighting;
    case GL_COLOR_MATERIAL: return &webGl.colourMaterial;
    case GL_NORMALIZE: return &webGl.normalize;
    case GL_POINT_SMOOTH: return &webGl.pointSmooth;
    default: return nullptr;
    }
}

// With colour material on, the current colour is the front material's
// ambient and/or diffuse colour, and stays so when it is switched off.
static void TrackColour()
{
    if (!webGl.colourMaterial || webGl.colourMaterialFace == GL_BACK)
        return;
    if (webGl.colourMaterialMode != GL_DIFFUSE)
        std::memcpy(webGl.materialAmbient, webGl.colour, sizeof webGl.colour);
    if (webGl.colourMaterialMode != GL_AMBIENT)
        std::memcpy(webGl.materialDiffuse, webGl.colour, sizeof webGl.colour);
}

static void SetCapability(GLenum cap, bool on, const char *name)
{
    if (!Gl_MayChangeState(name))
        return;
    if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + 8) {
        webGl.lights[cap - GL_LIGHT0].enabled = on;
        return;
    }
    bool *flag = Capability(cap);
    if (!flag) {
        char what[64];
        std::snprintf(what, sizeof what, "%s(0x%04X)", name, cap);
        Gl_Refuse(GL_INVALID_ENUM, what);
        return;
    }
    *flag = on;
    TrackColour();
    if (cap == GL_DEPTH_TEST || cap == GL_CULL_FACE || cap == GL_BLEND)
        WebGl_Apply(cap);
}

void glEnable(GLenum cap) { SetCapability(cap, true, "glEnable"); }
void glDisable(GLenum cap) { SetCapability(cap, false, "glDisable"); }

GLboolean glIsEnabled(GLenum cap)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return GL_FALSE;
    }
    if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + 8)
        return webGl.lights[cap - GL_LIGHT0].enabled ? GL_TRUE : GL_FALSE;
    const bool *flag = Capability(cap);
    if (!flag) {
        Gl_Refuse(GL_INVALID_ENUM, "glIsEnabled of this capability");
        return GL_FALSE;
    }
    return *flag ? GL_TRUE : GL_FALSE;
}

GLenum glGetError()
{
    const GLenum error = webGl.error;
    webGl.error = GL_NO_ERROR;
    return error;
}

// ---------------------------------------------------------------- matrices

void glMatrixMode(GLenum mode)
{
    if (!Gl_MayChangeState("glMatrixMode"))
        return;
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION) {
        Gl_Refuse(GL_INVALID_ENUM, "glMatrixMode other than GL_MODELVIEW or GL_PROJECTION");
        return;
    }
    webGl.matrixMode = mode;
}

void glLoadIdentity()
{
    if (Gl_MayChangeState("glLoadIdentity"))
        std::memcpy(Gl_CurrentMatrix(), identity, sizeof identity);
}

void glPushMatrix()
{
    if (!Gl_MayChangeState("glPushMatrix"))
        return;
    auto &stack = webGl.matrixMode == GL_MODELVIEW ? webGl.modelview : webGl.projection;
    if (static_cast<int>(stack.size()) >= matrixStackDepth) {
        Gl_SetError(GL_STACK_OVERFLOW);
        return;
    }
    stack.push_back(stack.back());
}

void glPopMatrix()
{
    if (!Gl_MayChangeState("glPopMatrix"))
        return;
    auto &stack = webGl.matrixMode == GL_MODELVIEW ? webGl.modelview : webGl.projection;
    if (stack.size() <= 1) {
        Gl_SetError(GL_STACK_UNDERFLOW);
        return;
    }
    stack.pop_back();
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    if (!Gl_MayChangeState("glTranslatef"))
        return;
    float m[16];
    std::memcpy(m, identity, sizeof m);
    m[12] = x, m[13] = y, m[14] = z;
    Gl_MultiplyCurrent(m);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
             GLdouble zFar)
{
    if (!Gl_MayChangeState("glOrtho"))
        return;
    if (left == right || bottom == top || zNear == zFar) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    // Worked out in double as given, then kept in float like every matrix.
    float m[16] = {};
    m[0] = static_cast<float>(2.0 / (right - left));
    m[5] = static_cast<float>(2.0 / (top - bottom));
    m[10] = static_cast<float>(-2.0 / (zFar - zNear));
    m[12] = static_cast<float>(-(right + left) / (right - left));
    m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
    m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    m[15] = 1.0f;
    Gl_MultiplyCurrent(m);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!Gl_MayChangeState("glViewport"))
        return;
    if (width < 0 || height < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    webGl.viewport[0] = x, webGl.viewport[1] = y;
    webGl.viewport[2] = width, webGl.viewport[3] = height;
    WebGl_Apply(GL_VIEWPORT);
}

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
    TrackColour();
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

// ---------------------------------------------------------------- glBegin .. glEnd

void glBegin(GLenum mode)
{
    // No state changes here: the primitives join the waiting batch.
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    if (webGl.compiling) {
        Gl_Refuse(GL_INVALID_OPERATION, "glBegin in a display list");
        return;
    }
    if (mode != GL_POINTS && mode != GL_TRIANGLES) {
        // The vertices up to glEnd are dropped: inBegin stays false, so
        // glVertex does nothing.
        Gl_Refuse(GL_INVALID_ENUM, "glBegin of lines, strips, fans, quads or polygons");
        return;
    }
    webGl.inBegin = true;
    webGl.primitive = mode;
    webGl.begun.clear();
}

void glEnd()
{
    if (!webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    webGl.inBegin = false;
    std::vector<float> &begun = webGl.begun;
    const int whole = webGl.primitive == GL_TRIANGLES ? 3 : 1;
    begun.resize(begun.size() / (whole * vertexFloats) * (whole * vertexFloats));
    // Flat shading lights and colours a triangle as its last vertex: the
    // first two take its lighting position, colour and normal.
    if (webGl.primitive == GL_TRIANGLES && webGl.shadeModel == GL_FLAT)
        for (size_t t = 0; t < begun.size(); t += 3 * vertexFloats)
            for (int v = 0; v < 2; ++v)
                std::memcpy(&begun[t + v * vertexFloats + 3], &begun[t + 2 * vertexFloats + 3],
                            (vertexFloats - 3) * sizeof(float));
    if (webGl.batchPrimitive != webGl.primitive)
        Gl_Flush();
    webGl.batchPrimitive = webGl.primitive;
    webGl.batch.insert(webGl.batch.end(), begun.begin(), begun.end());
    begun.clear();
}

// Vertex and attributes outside a display list; in one they are refused.
static bool MaySetAttribute(const char *name)
{
    if (!webGl.compiling)
        return true;
    Gl_Refuse(GL_INVALID_OPERATION, (std::string(name) + " in a display list").c_str());
    return false;
}

void glVertex3fv(const GLfloat *v)
{
    if (!MaySetAttribute("glVertex3fv"))
        return;
    if (!webGl.inBegin) {
        // Outside glBegin/glEnd a vertex means nothing (undefined in GL).
        return;
    }
    const float vertex[vertexFloats] = {
        v[0], v[1], v[2], v[0], v[1], v[2],
        webGl.colour[0], webGl.colour[1], webGl.colour[2], webGl.colour[3],
        webGl.normal[0], webGl.normal[1], webGl.normal[2]};
    webGl.begun.insert(webGl.begun.end(), vertex, vertex + vertexFloats);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    const float v[3] = {x, y, z};
    glVertex3fv(v);
}

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    if (!MaySetAttribute("glColor"))
        return;
    webGl.colour[0] = red, webGl.colour[1] = green, webGl.colour[2] = blue;
    webGl.colour[3] = alpha;
    TrackColour();
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) { glColor4f(red, green, blue, 1.0f); }
void glColor3fv(const GLfloat *v) { glColor4f(v[0], v[1], v[2], 1.0f); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!MaySetAttribute("glNormal3f"))
        return;
    webGl.normal[0] = x, webGl.normal[1] = y, webGl.normal[2] = z;
}

// ---------------------------------------------------------------- queries

void glGetIntegerv(GLenum pname, GLint *params)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    switch (pname) {
    case GL_MATRIX_MODE: params[0] = static_cast<GLint>(webGl.matrixMode); break;
    case GL_VIEWPORT: std::memcpy(params, webGl.viewport, sizeof webGl.viewport); break;
    case GL_LIST_BASE: params[0] = static_cast<GLint>(webGl.listBase); break;
    case GL_MODELVIEW_STACK_DEPTH: params[0] = static_cast<GLint>(webGl.modelview.size()); break;
    case GL_PROJECTION_STACK_DEPTH: params[0] = static_cast<GLint>(webGl.projection.size()); break;
    default: Gl_Refuse(GL_INVALID_ENUM, "glGetIntegerv of this value"); break;
    }
}

void glGetFloatv(GLenum pname, GLfloat *params)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    switch (pname) {
    case GL_POINT_SIZE: params[0] = webGl.pointSize; break;
    case GL_CURRENT_COLOR: std::memcpy(params, webGl.colour, sizeof webGl.colour); break;
    case GL_CURRENT_NORMAL: std::memcpy(params, webGl.normal, sizeof webGl.normal); break;
    case GL_MODELVIEW_MATRIX: std::memcpy(params, webGl.modelview.back().data(), 16 * sizeof(float)); break;
    case GL_PROJECTION_MATRIX: std::memcpy(params, webGl.projection.back().data(), 16 * sizeof(float)); break;
    default: Gl_Refuse(GL_INVALID_ENUM, "glGetFloatv of this value"); break;
    }
}
