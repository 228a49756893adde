// glBegin .. glEnd: the game's immediate-mode points and triangles, with
// their colours and normals, gathered into the batch the WebGL side draws.

#include "platform/web/gl/gl_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

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
    Gl_TrackColour();
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) { glColor4f(red, green, blue, 1.0f); }
void glColor3fv(const GLfloat *v) { glColor4f(v[0], v[1], v[2], 1.0f); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!MaySetAttribute("glNormal3f"))
        return;
    webGl.normal[0] = x, webGl.normal[1] = y, webGl.normal[2] = z;
}
