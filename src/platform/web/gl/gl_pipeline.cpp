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
    case GL_SCISSOR_TEST: return &webGl.scissorTest;
    default: return nullptr;
    }
}

void Gl_TrackColour()
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
    Gl_TrackColour();
    if (cap == GL_DEPTH_TEST || cap == GL_CULL_FACE || cap == GL_BLEND || cap == GL_SCISSOR_TEST)
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

// glViewport and glScissor: a window rectangle, kept and handed to WebGL.
static void SetBox(const char *name, int (&box)[4], GLenum what, GLint x, GLint y,
                   GLsizei width, GLsizei height)
{
    if (!Gl_MayChangeState(name))
        return;
    if (width < 0 || height < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    box[0] = x, box[1] = y, box[2] = width, box[3] = height;
    WebGl_Apply(what);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    SetBox("glViewport", webGl.viewport, GL_VIEWPORT, x, y, width, height);
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    SetBox("glScissor", webGl.scissor, GL_SCISSOR_BOX, x, y, width, height);
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
    case GL_SCISSOR_BOX: std::memcpy(params, webGl.scissor, sizeof webGl.scissor); break;
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

void glFinish()
{
    if (!Gl_MayChangeState("glFinish"))
        return;
    WebGl_Finish();
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                  GLvoid *pixels)
{
    if (!Gl_MayChangeState("glReadPixels"))
        return;
    if (format != GL_RGBA || type != GL_UNSIGNED_BYTE) {
        Gl_Refuse(GL_INVALID_ENUM, "glReadPixels other than GL_RGBA, GL_UNSIGNED_BYTE");
        return;
    }
    if (width < 0 || height < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    WebGl_ReadPixels(x, y, width, height, static_cast<unsigned char *>(pixels));
}
