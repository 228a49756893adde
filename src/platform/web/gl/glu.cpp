// The GLU the game calls: the perspective projection, the quadric object
// and the shield's sphere, and the error texts.

#include "platform/web/gl/gl_state.h"

#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <new>

struct GLUquadric {
    GLenum drawStyle = GLU_FILL;
    GLenum normals = GLU_SMOOTH;
    GLenum orientation = GLU_OUTSIDE;
    void (*errorCallback)(GLenum) = nullptr;
};

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    const double radians = fovy / 2.0 * M_PI / 180.0;
    const double sine = std::sin(radians);
    const double depth = zFar - zNear;
    // A flat or empty frustum leaves the matrix as it is.
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0)
        return;
    const double cotangent = std::cos(radians) / sine;
    float m[16] = {};
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(zFar + zNear) / depth);
    m[11] = -1.0f;
    m[14] = static_cast<float>(-2.0 * zNear * zFar / depth);
    if (Gl_MayChangeState("gluPerspective"))
        Gl_MultiplyCurrent(m);
}

GLUquadric *gluNewQuadric()
{
    return new (std::nothrow) GLUquadric();
}

void gluDeleteQuadric(GLUquadric *quadric)
{
    delete quadric;
}

static void QuadricError(GLUquadric *quadric, GLenum error)
{
    if (quadric->errorCallback)
        quadric->errorCallback(error);
}

void gluQuadricCallback(GLUquadric *quadric, GLenum which, _GLUfuncptr callback)
{
    if (which == GLU_ERROR)
        quadric->errorCallback = reinterpret_cast<void (*)(GLenum)>(callback);
}

void gluQuadricDrawStyle(GLUquadric *quadric, GLenum drawStyle)
{
    switch (drawStyle) {
    case GLU_FILL: quadric->drawStyle = drawStyle; break;
    // The game's sphere is filled; lines and points are not drawn here.
    case GLU_LINE: case GLU_POINT: case GLU_SILHOUETTE:
        Gl_Refuse(GL_INVALID_ENUM, "gluQuadricDrawStyle other than GLU_FILL");
        QuadricError(quadric, GLU_INVALID_ENUM);
        break;
    default: QuadricError(quadric, GLU_INVALID_ENUM); break;
    }
}

void gluQuadricNormals(GLUquadric *quadric, GLenum normals)
{
    switch (normals) {
    case GLU_SMOOTH: case GLU_NONE: quadric->normals = normals; break;
    case GLU_FLAT:
        Gl_Refuse(GL_INVALID_ENUM, "gluQuadricNormals with GLU_FLAT");
        QuadricError(quadric, GLU_INVALID_ENUM);
        break;
    default: QuadricError(quadric, GLU_INVALID_ENUM); break;
    }
}

void gluQuadricOrientation(GLUquadric *quadric, GLenum orientation)
{
    if (orientation == GLU_OUTSIDE || orientation == GLU_INSIDE)
        quadric->orientation = orientation;
    else
        QuadricError(quadric, GLU_INVALID_ENUM);
}

// One vertex of the sphere: ring `stack` (0 at +z) at slice angle index
// `slice`, turning from +y towards -x as GLU's does.
static void SphereVertex(const GLUquadric *quadric, double radius, int slices, int stacks,
                         int slice, int stack)
{
    const float rho = static_cast<float>(M_PI) * static_cast<float>(stack) / static_cast<float>(stacks);
    const float theta = 2.0f * static_cast<float>(M_PI) * static_cast<float>(slice % slices) /
                        static_cast<float>(slices);
    const float x = -std::sin(theta) * std::sin(rho);
    const float y = std::cos(theta) * std::sin(rho);
    const float z = std::cos(rho);
    if (quadric->normals != GLU_NONE) {
        const float sign = quadric->orientation == GLU_INSIDE ? -1.0f : 1.0f;
        glNormal3f(sign * x, sign * y, sign * z);
    }
    const float r = static_cast<float>(radius);
    const float v[3] = {x * r, y * r, z * r};
    glVertex3fv(v);
}

void gluSphere(GLUquadric *quadric, GLdouble radius, GLint slices, GLint stacks)
{
    if (slices < 2 || stacks < 1 || radius < 0.0) {
        QuadricError(quadric, GLU_INVALID_VALUE);
        return;
    }
    // The triangles Mesa draws for GLU's sphere, in its order: a fan about
    // each pole, then a strip of quads between each pair of rings, every
    // quad cut along the same diagonal. An inside sphere turns each
    // triangle round.
    const bool inside = quadric->orientation == GLU_INSIDE;
    auto triangle = [&](int s0, int t0, int s1, int t1, int s2, int t2) {
        SphereVertex(quadric, radius, slices, stacks, s0, t0);
        if (inside) {
            SphereVertex(quadric, radius, slices, stacks, s2, t2);
            SphereVertex(quadric, radius, slices, stacks, s1, t1);
        } else {
            SphereVertex(quadric, radius, slices, stacks, s1, t1);
            SphereVertex(quadric, radius, slices, stacks, s2, t2);
        }
    };
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < slices; ++i)
        triangle(0, 0, i, 1, i + 1, 1);
    for (int i = slices; i > 0; --i)
        triangle(0, stacks, i, stacks - 1, i - 1, stacks - 1);
    for (int j = 1; j + 1 < stacks; ++j)
        for (int i = slices; i > 0; --i) {
            // The quad between rings j and j + 1, slices i and i - 1.
            triangle(i - 1, j + 1, i, j + 1, i - 1, j);
            triangle(i, j + 1, i, j, i - 1, j);
        }
    glEnd();
}

const GLubyte *gluErrorString(GLenum error)
{
    const char *text = nullptr;
    switch (error) {
    case GL_NO_ERROR: text = "no error"; break;
    case GL_INVALID_ENUM: text = "invalid enumerant"; break;
    case GL_INVALID_VALUE: text = "invalid value"; break;
    case GL_INVALID_OPERATION: text = "invalid operation"; break;
    case GL_STACK_OVERFLOW: text = "stack overflow"; break;
    case GL_STACK_UNDERFLOW: text = "stack underflow"; break;
    case GL_OUT_OF_MEMORY: text = "out of memory"; break;
    case GLU_INVALID_ENUM: text = "invalid enumerant"; break;
    case GLU_INVALID_VALUE: text = "invalid value"; break;
    case GLU_OUT_OF_MEMORY: text = "out of memory"; break;
    case GLU_INVALID_OPERATION: text = "invalid operation"; break;
    default: return nullptr;
    }
    return reinterpret_cast<const GLubyte *>(text);
}
