// The score's text: the raster position, glBitmap, and the display lists
// the font's glyphs are kept in (glBitmap is all a list may hold here).

#include "platform/web/gl/gl_state.h"

#include <cmath>
#include <vector>

// ---------------------------------------------------------------- raster position

void glRasterPos2f(GLfloat x, GLfloat y)
{
    if (!Gl_MayChangeState("glRasterPos2f"))
        return;
    if (webGl.lighting) {
        // The raster colour would be lit; the text is drawn with lighting off.
        Gl_Refuse(GL_INVALID_OPERATION, "glRasterPos with lighting on");
        webGl.rasterValid = false;
        return;
    }
    const float object[4] = {x, y, 0.0f, 1.0f};
    float eye[4], clip[4];
    Gl_Transform(eye, webGl.modelview.back().data(), object);
    Gl_Transform(clip, webGl.projection.back().data(), eye);
    // A position outside the view volume is invalid: bitmaps then draw nothing.
    const float w = clip[3];
    webGl.rasterValid = w > 0.0f && std::fabs(clip[0]) <= w && std::fabs(clip[1]) <= w &&
                        std::fabs(clip[2]) <= w;
    if (!webGl.rasterValid)
        return;
    const int *v = webGl.viewport;
    webGl.rasterPosition[0] = (clip[0] / w * 0.5f + 0.5f) * static_cast<float>(v[2]) + static_cast<float>(v[0]);
    webGl.rasterPosition[1] = (clip[1] / w * 0.5f + 0.5f) * static_cast<float>(v[3]) + static_cast<float>(v[1]);
    webGl.rasterPosition[2] = clip[2] / w * 0.5f + 0.5f;
    for (int i = 0; i < 4; ++i)
        webGl.rasterColour[i] = std::fmin(std::fmax(webGl.colour[i], 0.0f), 1.0f);
}

// ---------------------------------------------------------------- bitmaps

// Bit (column, row) of a bitmap as glPixelStorei's unpack modes lay it out.
static bool BitAt(const GLubyte *bits, const PixelStore &store, int width, int column, int row)
{
    const int rowPixels = store.rowLength > 0 ? store.rowLength : width;
    const int alignBits = store.alignment * 8;
    const int rowBytes = (rowPixels + alignBits - 1) / alignBits * store.alignment;
    const int pixel = store.skipPixels + column;
    const GLubyte byte = bits[(store.skipRows + row) * rowBytes + pixel / 8];
    const int shift = store.lsbFirst ? pixel % 8 : 7 - pixel % 8;
    return (byte >> shift) & 1;
}

static void Execute(const Bitmap &bitmap)
{
    if (!webGl.rasterValid)
        return;
    // The lower-left corner goes to the pixel the origin's offset falls in.
    const float x = std::floor(webGl.rasterPosition[0] - bitmap.xOrigin);
    const float y = std::floor(webGl.rasterPosition[1] - bitmap.yOrigin);
    WebGl_DrawBitmap(bitmap, x, y, webGl.rasterPosition[2], webGl.rasterColour);
    webGl.rasterPosition[0] += bitmap.xMove;
    webGl.rasterPosition[1] += bitmap.yMove;
}

void glBitmap(GLsizei width, GLsizei height, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat yMove, const GLubyte *bits)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    if (width < 0 || height < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    Gl_Flush();
    Bitmap bitmap;
    bitmap.width = width, bitmap.height = height;
    bitmap.xOrigin = xOrigin, bitmap.yOrigin = yOrigin;
    bitmap.xMove = xMove, bitmap.yMove = yMove;
    if (width > 0 && height > 0 && bits) {
        // Unpacked now, as GL does when the call is compiled into a list.
        std::vector<unsigned char> alpha(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                alpha[static_cast<size_t>(row * width + column)] =
                    BitAt(bits, webGl.unpack, width, column, row) ? 255 : 0;
        bitmap.texture = WebGl_MakeBitmapTexture(alpha.data(), width, height);
    }
    if (webGl.compiling) {
        webGl.compiled.push_back(bitmap);
        return;
    }
    Execute(bitmap);
    WebGl_DeleteTexture(bitmap.texture);
}

// ---------------------------------------------------------------- pixel store

void glPixelStorei(GLenum pname, GLint param)
{
    if (webGl.inBegin) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    PixelStore &store = webGl.unpack;
    switch (pname) {
    case GL_UNPACK_ALIGNMENT:
        if (param != 1 && param != 2 && param != 4 && param != 8) {
            Gl_SetError(GL_INVALID_VALUE);
            return;
        }
        store.alignment = param;
        break;
    case GL_UNPACK_ROW_LENGTH:
    case GL_UNPACK_SKIP_ROWS:
    case GL_UNPACK_SKIP_PIXELS:
        if (param < 0) {
            Gl_SetError(GL_INVALID_VALUE);
            return;
        }
        (pname == GL_UNPACK_ROW_LENGTH ? store.rowLength
         : pname == GL_UNPACK_SKIP_ROWS ? store.skipRows
                                         : store.skipPixels) = param;
        break;
    case GL_UNPACK_LSB_FIRST: store.lsbFirst = param != 0; break;
    // Bitmaps are bytes: swapping bytes changes nothing for them.
    case GL_UNPACK_SWAP_BYTES: store.swapBytes = param != 0; break;
    default: Gl_Refuse(GL_INVALID_ENUM, "glPixelStorei of the pack modes"); break;
    }
}

void glPushClientAttrib(GLbitfield mask)
{
    if (mask != GL_CLIENT_PIXEL_STORE_BIT) {
        Gl_Refuse(GL_INVALID_ENUM, "glPushClientAttrib other than GL_CLIENT_PIXEL_STORE_BIT");
        return;
    }
    if (webGl.clientAttribStack.size() >= 16) {
        Gl_SetError(GL_STACK_OVERFLOW);
        return;
    }
    webGl.clientAttribStack.push_back(webGl.unpack);
}

void glPopClientAttrib()
{
    if (webGl.clientAttribStack.empty()) {
        Gl_SetError(GL_STACK_UNDERFLOW);
        return;
    }
    webGl.unpack = webGl.clientAttribStack.back();
    webGl.clientAttribStack.pop_back();
}

// ---------------------------------------------------------------- display lists

GLuint glGenLists(GLsizei range)
{
    if (webGl.inBegin || webGl.compiling) {
        Gl_SetError(GL_INVALID_OPERATION);
        return 0;
    }
    if (range < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return 0;
    }
    if (range == 0)
        return 0;
    // The first run of range names that are all free; each becomes an
    // empty list so that the next call passes it by.
    GLuint base = 1;
    for (auto it = webGl.lists.lower_bound(base); it != webGl.lists.end() && it->first < base + static_cast<GLuint>(range);
         it = webGl.lists.lower_bound(base))
        base = it->first + 1;
    for (GLuint name = base; name < base + static_cast<GLuint>(range); ++name)
        webGl.lists[name];
    return base;
}

static void DeleteList(std::map<GLuint, std::vector<Bitmap>>::iterator it)
{
    for (const Bitmap &bitmap : it->second)
        WebGl_DeleteTexture(bitmap.texture);
    webGl.lists.erase(it);
}

void glDeleteLists(GLuint list, GLsizei range)
{
    if (!Gl_MayChangeState("glDeleteLists"))
        return;
    if (range < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    const GLuint end = list + static_cast<GLuint>(range);
    for (auto it = webGl.lists.lower_bound(list); it != webGl.lists.end() && it->first < end;
         it = webGl.lists.lower_bound(list))
        DeleteList(it);
}

void glNewList(GLuint list, GLenum mode)
{
    if (!Gl_MayChangeState("glNewList"))
        return;
    if (list == 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    if (mode != GL_COMPILE) {
        Gl_Refuse(GL_INVALID_ENUM, "glNewList with GL_COMPILE_AND_EXECUTE");
        return;
    }
    webGl.compiling = list;
    webGl.compiled.clear();
}

void glEndList()
{
    if (webGl.inBegin || !webGl.compiling) {
        Gl_SetError(GL_INVALID_OPERATION);
        return;
    }
    auto it = webGl.lists.find(webGl.compiling);
    if (it != webGl.lists.end())
        DeleteList(it);
    webGl.lists[webGl.compiling] = std::move(webGl.compiled);
    webGl.compiled.clear();
    webGl.compiling = 0;
}

void glListBase(GLuint base)
{
    if (Gl_MayChangeState("glListBase"))
        webGl.listBase = base;
}

void glCallLists(GLsizei n, GLenum type, const GLvoid *lists)
{
    if (!Gl_MayChangeState("glCallLists"))
        return;
    if (type != GL_UNSIGNED_BYTE) {
        Gl_Refuse(GL_INVALID_ENUM, "glCallLists of names other than GL_UNSIGNED_BYTE");
        return;
    }
    if (n < 0) {
        Gl_SetError(GL_INVALID_VALUE);
        return;
    }
    const GLubyte *names = static_cast<const GLubyte *>(lists);
    for (GLsizei i = 0; i < n; ++i) {
        const auto it = webGl.lists.find(webGl.listBase + names[i]);
        if (it != webGl.lists.end())
            for (const Bitmap &bitmap : it->second)
                Execute(bitmap);
    }
}

// ---------------------------------------------------------------- attribute stack

void glPushAttrib(GLbitfield mask)
{
    if (!Gl_MayChangeState("glPushAttrib"))
        return;
    // The text saves its list base; other groups are not kept here.
    if (mask != GL_LIST_BIT) {
        Gl_Refuse(GL_INVALID_ENUM, "glPushAttrib other than GL_LIST_BIT");
        return;
    }
    if (webGl.listBaseStack.size() >= 16) {
        Gl_SetError(GL_STACK_OVERFLOW);
        return;
    }
    webGl.listBaseStack.push_back(webGl.listBase);
}

void glPopAttrib()
{
    if (!Gl_MayChangeState("glPopAttrib"))
        return;
    if (webGl.listBaseStack.empty()) {
        Gl_SetError(GL_STACK_UNDERFLOW);
        return;
    }
    webGl.listBase = webGl.listBaseStack.back();
    webGl.listBaseStack.pop_back();
}
