// The calls of the game's OpenGL that reach the browser: settings, clears,
// the batches of points and triangles with the uniforms of the lighting,
// the glyphs' textures, the wait for the picture and the reading of it.

#include "platform/web/gl/gl_state.h"
#include "platform/web/gl/web_gl.h"

#include <cmath>
#include <emscripten.h>

// Where each uniform sits in the block WebGl_Draw hands over.
enum UniformSlot {
    slotModelview = 0,      // 16
    slotProjection = 16,    // 16
    slotNormalMatrix = 32,  // 9
    slotFlags = 41,         // lighting, normalize, ambient and diffuse from the colour
    slotLightOn = 45,       // 8
    slotLightAmbient = 53,  // 8 x 4
    slotLightDiffuse = 85,  // 8 x 4
    slotLightPosition = 117, // 8 x 4
    slotAttenuation = 149,  // 8 x 3
    slotViewport = 173,     // 4
    slotPoint = 177,        // mode, radius, sprite size, odd width
    slotMaterial = 181,     // front ambient, front diffuse
    uniformCount = 189
};

// JsCall's code for glFinish; the others are the GL names of what is set.
static constexpr int callFinish = 1;

// clang-format off
EM_JS(void, JsSetCapability, (int cap, int on), {
    var gl = Module.quarvelGl.gl;
    if (on) gl.enable(cap); else gl.disable(cap);
});

EM_JS(void, JsCall, (int what, double a, double b, double c, double d), {
    var gl = Module.quarvelGl.gl;
    switch (what) {
    case 0x0BA2: gl.viewport(a, b, c, d); break;
    case 0x0C10: gl.scissor(a, b, c, d); break;
    case 0x0B46: gl.frontFace(a); break;
    case 0x0B45: gl.cullFace(a); break;
    case 0x0B74: gl.depthFunc(a); break;
    case 0x0BE1: gl.blendFunc(a, b); break;
    case 0x0C22: gl.clearColor(a, b, c, d); break;
    case 0x0B73: gl.clearDepth(a); break;
    case 0x4000: gl.clear(a); break;
    case 1: gl.finish(); break;
    }
});

EM_JS(void, JsDraw, (int mode, const float *vertices, int count, const float *uniforms), {
    var q = Module.quarvelGl, gl = q.gl, s = q.scene;
    if (q.program !== s) {
        gl.useProgram(s.program);
        gl.bindBuffer(gl.ARRAY_BUFFER, q.vertices);
        var attributes = [["aPosition", 3, 0], ["aLitPosition", 3, 12], ["aColour", 4, 24], ["aNormal", 3, 40]];
        for (var a = 0; a < attributes.length; ++a) {
            var at = gl.getAttribLocation(s.program, attributes[a][0]);
            gl.enableVertexAttribArray(at);
            gl.vertexAttribPointer(at, attributes[a][1], gl.FLOAT, false, 52, attributes[a][2]);
        }
        q.program = s;
    }
    gl.bufferData(gl.ARRAY_BUFFER, HEAPF32.subarray(vertices >> 2, (vertices >> 2) + count * 13), gl.STREAM_DRAW);
    var u = HEAPF32.subarray(uniforms >> 2, (uniforms >> 2) + 189);
    gl.uniformMatrix4fv(s.uModelview, false, u.subarray(0, 16));
    gl.uniformMatrix4fv(s.uProjection, false, u.subarray(16, 32));
    gl.uniformMatrix3fv(s.uNormalMatrix, false, u.subarray(32, 41));
    gl.uniform4fv(s.uFlags, u.subarray(41, 45));
    gl.uniform1fv(s.uLightOn, u.subarray(45, 53));
    gl.uniform4fv(s.uLightAmbient, u.subarray(53, 85));
    gl.uniform4fv(s.uLightDiffuse, u.subarray(85, 117));
    gl.uniform4fv(s.uLightPosition, u.subarray(117, 149));
    gl.uniform3fv(s.uAttenuation, u.subarray(149, 173));
    gl.uniform4fv(s.uViewport, u.subarray(173, 177));
    gl.uniform4fv(s.uPoint, u.subarray(177, 181));
    gl.uniform4fv(s.uMaterial, u.subarray(181, 189));
    gl.drawArrays(mode, 0, count);
});

EM_JS(int, JsMakeTexture, (const unsigned char *alpha, int width, int height), {
    var q = Module.quarvelGl, gl = q.gl;
    var texture = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, texture);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.ALPHA, width, height, 0, gl.ALPHA, gl.UNSIGNED_BYTE,
                  HEAPU8.subarray(alpha, alpha + width * height));
    q.textures.push(texture);
    return q.textures.length - 1;
});

EM_JS(void, JsDeleteTexture, (int id), {
    var q = Module.quarvelGl;
    if (!q || !q.textures[id]) return;
    q.gl.deleteTexture(q.textures[id]);
    q.textures[id] = null;
});

EM_JS(void, JsDrawBitmap, (int texture, double x, double y, double width, double height,
                           double depth, const float *colour, const int *viewport), {
    var q = Module.quarvelGl, gl = q.gl, g = q.glyph;
    if (q.program !== g) {
        gl.useProgram(g.program);
        gl.bindBuffer(gl.ARRAY_BUFFER, q.corners);
        // The scene"s attributes are let go, the corners" taken.
        for (var i = 0; i < 4; ++i) gl.disableVertexAttribArray(i);
        var at = gl.getAttribLocation(g.program, "aCorner");
        gl.enableVertexAttribArray(at);
        gl.vertexAttribPointer(at, 2, gl.FLOAT, false, 8, 0);
        gl.uniform1i(g.uBits, 0);
        q.program = g;
    }
    // Bitmaps are placed in window coordinates, not cut at the viewport.
    var w = gl.drawingBufferWidth, h = gl.drawingBufferHeight;
    gl.viewport(0, 0, w, h);
    gl.uniform2f(g.uCanvas, w, h);
    gl.uniform4f(g.uRect, x, y, width, height);
    gl.uniform1f(g.uDepth, depth);
    gl.uniform4fv(g.uColour, HEAPF32.subarray(colour >> 2, (colour >> 2) + 4));
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, q.textures[texture]);
    gl.drawArrays(gl.TRIANGLES, 0, 6);
    var v = HEAP32.subarray(viewport >> 2, (viewport >> 2) + 4);
    gl.viewport(v[0], v[1], v[2], v[3]);
});

EM_JS(void, JsReadPixels, (int x, int y, int width, int height, unsigned char *pixels), {
    var gl = Module.quarvelGl.gl;
    gl.readPixels(x, y, width, height, gl.RGBA, gl.UNSIGNED_BYTE,
                  HEAPU8.subarray(pixels, pixels + width * height * 4));
});
// clang-format on

void WebGl_Apply(GLenum what)
{
    if (!webGl.contextMade)
        return;
    switch (what) {
    case GL_DEPTH_TEST: JsSetCapability(what, webGl.depthTest); break;
    case GL_CULL_FACE: JsSetCapability(what, webGl.cullFace); break;
    case GL_BLEND: JsSetCapability(what, webGl.blend); break;
    case GL_SCISSOR_TEST: JsSetCapability(what, webGl.scissorTest); break;
    case GL_VIEWPORT:
        JsCall(what, webGl.viewport[0], webGl.viewport[1], webGl.viewport[2], webGl.viewport[3]);
        break;
    case GL_SCISSOR_BOX:
        JsCall(what, webGl.scissor[0], webGl.scissor[1], webGl.scissor[2], webGl.scissor[3]);
        break;
    case GL_FRONT_FACE: JsCall(what, webGl.frontFace, 0, 0, 0); break;
    case GL_CULL_FACE_MODE: JsCall(what, webGl.cullFaceMode, 0, 0, 0); break;
    case GL_DEPTH_FUNC: JsCall(what, webGl.depthFunc, 0, 0, 0); break;
    case GL_BLEND_SRC: JsCall(what, webGl.blendSource, webGl.blendDestination, 0, 0); break;
    case GL_COLOR_CLEAR_VALUE:
        JsCall(what, webGl.clearColour[0], webGl.clearColour[1], webGl.clearColour[2],
               webGl.clearColour[3]);
        break;
    case GL_DEPTH_CLEAR_VALUE: JsCall(what, webGl.clearDepth, 0, 0, 0); break;
    }
}

void WebGl_Clear(GLbitfield mask)
{
    if (webGl.contextMade)
        JsCall(GL_COLOR_BUFFER_BIT, mask, 0, 0, 0);
}

// The inverse transpose of the modelview's upper 3x3, which carries normals
// into eye coordinates (column-major, as the shader takes it).
static void NormalMatrix(float *out, const float *m)
{
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float cofactors[9] = {e * i - f * h, -(d * i - f * g), d * h - e * g,
                                -(b * i - c * h), a * i - c * g, -(a * h - b * g),
                                b * f - c * e, -(a * f - c * d), a * e - b * d};
    const float det = a * cofactors[0] + b * cofactors[1] + c * cofactors[2];
    const float scale = det != 0.0f ? 1.0f / det : 0.0f;
    // Row r of the inverse transpose is row r of the cofactors; stored by columns.
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            out[column * 3 + row] = cofactors[row * 3 + column] * scale;
}

void WebGl_Draw(GLenum primitive, const float *vertices, int count)
{
    if (!webGl.contextMade || count == 0)
        return;
    float u[uniformCount] = {};
    const float *modelview = webGl.modelview.back().data();
    for (int k = 0; k < 16; ++k) {
        u[slotModelview + k] = modelview[k];
        u[slotProjection + k] = webGl.projection.back()[k];
    }
    NormalMatrix(u + slotNormalMatrix, modelview);
    // With two-sided lighting off every face is lit with the front
    // material: each vertex's colour where the colour drives it, else the
    // material the colour last left.
    const bool tracks = webGl.colourMaterial && webGl.colourMaterialFace != GL_BACK;
    u[slotFlags + 0] = webGl.lighting;
    u[slotFlags + 1] = webGl.normalize;
    u[slotFlags + 2] = tracks && webGl.colourMaterialMode != GL_DIFFUSE;
    u[slotFlags + 3] = tracks && webGl.colourMaterialMode != GL_AMBIENT;
    for (int l = 0; l < 8; ++l) {
        const Light &light = webGl.lights[l];
        u[slotLightOn + l] = light.enabled;
        for (int k = 0; k < 4; ++k) {
            u[slotLightAmbient + l * 4 + k] = light.ambient[k];
            u[slotLightDiffuse + l * 4 + k] = light.diffuse[k];
            u[slotLightPosition + l * 4 + k] = light.position[k];
        }
        for (int k = 0; k < 3; ++k)
            u[slotAttenuation + l * 3 + k] = light.attenuation[k];
    }
    for (int k = 0; k < 4; ++k) {
        u[slotViewport + k] = static_cast<float>(webGl.viewport[k]);
        u[slotMaterial + k] = webGl.materialAmbient[k];
        u[slotMaterial + 4 + k] = webGl.materialDiffuse[k];
    }
    if (primitive == GL_POINTS && webGl.pointSmooth) {
        // Mesa's llvmpipe, which draws the game's pictures on Linux, fills
        // a smooth point as a disc of full colour whose radius is half the
        // size but never under one pixel; the sprite covers the disc.
        const float radius = std::fmax(webGl.pointSize, 2.0f) * 0.5f;
        u[slotPoint + 0] = 1.0f;
        u[slotPoint + 1] = radius;
        u[slotPoint + 2] = 2.0f * radius + 2.0f;
    } else if (primitive == GL_POINTS) {
        // An aliased point is a square of the size rounded, at least one
        // pixel, centred on a pixel when odd and on a corner when even.
        const float width = std::fmax(std::floor(webGl.pointSize + 0.5f), 1.0f);
        u[slotPoint + 0] = 2.0f;
        u[slotPoint + 1] = width * 0.5f;
        u[slotPoint + 2] = width + 2.0f;
        u[slotPoint + 3] = std::fmod(width, 2.0f) == 1.0f;
    }
    JsDraw(static_cast<int>(primitive), vertices, count, u);
}

unsigned WebGl_MakeBitmapTexture(const unsigned char *alpha, int width, int height)
{
    if (!webGl.contextMade || width <= 0 || height <= 0)
        return 0;
    return static_cast<unsigned>(JsMakeTexture(alpha, width, height));
}

void WebGl_DeleteTexture(unsigned texture)
{
    if (texture != 0)
        JsDeleteTexture(static_cast<int>(texture));
}

void WebGl_DrawBitmap(const Bitmap &bitmap, float x, float y, float depth, const float *colour)
{
    if (!webGl.contextMade || bitmap.texture == 0)
        return;
    JsDrawBitmap(static_cast<int>(bitmap.texture), x, y, bitmap.width, bitmap.height,
                 depth * 2.0f - 1.0f, colour, webGl.viewport);
}

void WebGl_Finish()
{
    if (webGl.contextMade)
        JsCall(callFinish, 0, 0, 0, 0);
}

void WebGl_ReadPixels(int x, int y, int width, int height, unsigned char *pixels)
{
    if (webGl.contextMade)
        JsReadPixels(x, y, width, height, pixels);
}
