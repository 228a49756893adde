// The WebGL side of the game's OpenGL: the context, two shader programs
// (the scene's, with OpenGL 1.1's per-vertex lighting, and the glyphs'),
// and the few calls that reach the browser. The JavaScript lives in
// Module.quarvelGl so that nothing of emscripten's own GL library is used.

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
EM_JS(int, JsCreateContext, (const char *selector), {
    // The selector is ASCII; read without emscripten's string helpers.
    var text = "";
    for (var at = selector; HEAPU8[at]; ++at) text += String.fromCharCode(HEAPU8[at]);
    var canvas = document.querySelector(text);
    if (!canvas) return 1;
    // No antialiasing: the game"s pictures have none. The drawing buffer is
    // kept so that a stopped replay"s picture can still be read.
    var gl = canvas.getContext("webgl", {alpha: false, depth: true, stencil: false,
                                         antialias: false, preserveDrawingBuffer: true});
    if (!gl) return 2;
    // The game asks for a 16-bit depth buffer, and Mesa gives it one;
    // WebGL's has 24 bits. Where two faces of a rock nearly meet, the
    // nearer is the one Mesa would find when each depth is rounded to 16
    // bits first (where the browser lets a shader set the depth).
    var depth16 = gl.getExtension("EXT_frag_depth") ?
        "gl_FragDepthEXT = floor(gl_FragCoord.z * 65535.0 + 0.5) / 65535.0;" : "";
    function compile(vertexText, fragmentText) {
        var program = gl.createProgram();
        [[gl.VERTEX_SHADER, vertexText], [gl.FRAGMENT_SHADER, fragmentText]].forEach(function(s) {
            var shader = gl.createShader(s[0]);
            gl.shaderSource(shader, s[1]);
            gl.compileShader(shader);
            if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS))
                console.error("Quarvel WebGL: " + gl.getShaderInfoLog(shader));
            gl.attachShader(program, shader);
        });
        gl.linkProgram(program);
        if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
            console.error("Quarvel WebGL: " + gl.getProgramInfoLog(program));
            return null;
        }
        var where = {program: program};
        var uniforms = gl.getProgramParameter(program, gl.ACTIVE_UNIFORMS);
        for (var i = 0; i < uniforms; ++i) {
            var name = gl.getActiveUniform(program, i).name.replace("[0]", "");
            where[name] = gl.getUniformLocation(program, name);
        }
        return where;
    }
    // OpenGL 1.1"s lighting for each vertex: the material"s emission is
    // black and the scene"s ambient light is 0.2 grey (no glMaterial or
    // glLightModel reaches here); the specular term is zero with a black
    // specular material; spotlights are refused before they get here.
    var scene = compile(
        "attribute vec3 aPosition; attribute vec3 aLitPosition;" +
        "attribute vec4 aColour; attribute vec3 aNormal;" +
        "uniform mat4 uModelview; uniform mat4 uProjection; uniform mat3 uNormalMatrix;" +
        "uniform vec4 uFlags; uniform float uLightOn[8];" +
        "uniform vec4 uLightAmbient[8]; uniform vec4 uLightDiffuse[8];" +
        "uniform vec4 uLightPosition[8]; uniform vec3 uAttenuation[8];" +
        "uniform vec4 uViewport; uniform vec4 uPoint; uniform vec4 uMaterial[2];" +
        "varying vec4 vColour; varying vec2 vCentre;" +
        "void main() {" +
        "  gl_Position = uProjection * (uModelview * vec4(aPosition, 1.0));" +
        "  vec4 colour = aColour;" +
        "  if (uFlags.x > 0.5) {" +
        "    vec4 ambient = uFlags.z > 0.5 ? aColour : uMaterial[0];" +
        "    vec4 diffuse = uFlags.w > 0.5 ? aColour : uMaterial[1];" +
        "    vec3 v = (uModelview * vec4(aLitPosition, 1.0)).xyz;" +
        "    vec3 n = uNormalMatrix * aNormal;" +
        "    if (uFlags.y > 0.5) n = normalize(n);" +
        "    vec3 lit = ambient.rgb * vec3(0.2);" +
        "    for (int i = 0; i < 8; ++i) {" +
        "      if (uLightOn[i] > 0.5) {" +
        "        vec4 p = uLightPosition[i];" +
        "        vec3 l = normalize(p.xyz);" +
        "        float attenuation = 1.0;" +
        "        if (p.w != 0.0) {" +
        "          vec3 toLight = p.xyz / p.w - v;" +
        "          float d = length(toLight);" +
        "          l = toLight / d;" +
        "          vec3 k = uAttenuation[i];" +
        "          attenuation = 1.0 / (k.x + k.y * d + k.z * d * d);" +
        "        }" +
        "        lit += attenuation * (ambient.rgb * uLightAmbient[i].rgb +" +
        "               max(dot(n, l), 0.0) * diffuse.rgb * uLightDiffuse[i].rgb);" +
        "      }" +
        "    }" +
        "    colour = vec4(lit, diffuse.a);" +
        "  }" +
        "  vColour = clamp(colour, 0.0, 1.0);" +
        "  vCentre = (gl_Position.xy / gl_Position.w * 0.5 + 0.5) * uViewport.zw + uViewport.xy;" +
        "  gl_PointSize = uPoint.z;" +
        // A point whose centre is outside the view volume is clipped away
        // whole, as in OpenGL; WebGL would draw the part of it on screen.
        "  if (uPoint.x != 0.0 && any(greaterThan(abs(gl_Position.xyz), vec3(gl_Position.w))))" +
        "    gl_Position = vec4(2.0, 2.0, 2.0, 1.0);" +
        "}",
        (depth16 ? "#extension GL_EXT_frag_depth : enable\n" : "") +
        "precision highp float;" +
        "uniform vec4 uPoint;" +
        "varying vec4 vColour; varying vec2 vCentre;" +
        "void main() {" +
        "  if (uPoint.x == 1.0) {" +
        "    vec2 d = gl_FragCoord.xy - vCentre;" +
        "    float dd = dot(d, d), rr = uPoint.y * uPoint.y;" +
        "    if (dd > rr || (dd == rr && d.x >= 0.0 && d.y >= 0.0)) discard;" +
        "  } else if (uPoint.x == 2.0) {" +
        "    vec2 centre = uPoint.w > 0.5 ? floor(vCentre) + 0.5 : floor(vCentre + 0.5);" +
        "    vec2 d = abs(gl_FragCoord.xy - centre);" +
        "    if (max(d.x, d.y) >= uPoint.y) discard;" +
        "  }" +
        depth16 +
        "  gl_FragColor = vColour;" +
        "}");
    var glyph = compile(
        "attribute vec2 aCorner;" +
        "uniform vec4 uRect; uniform vec2 uCanvas; uniform float uDepth;" +
        "varying vec2 vTexel;" +
        "void main() {" +
        "  gl_Position = vec4((uRect.xy + aCorner * uRect.zw) / uCanvas * 2.0 - 1.0, uDepth, 1.0);" +
        "  vTexel = aCorner;" +
        "}",
        "precision mediump float;" +
        "uniform sampler2D uBits; uniform vec4 uColour;" +
        "varying vec2 vTexel;" +
        "void main() {" +
        "  if (texture2D(uBits, vTexel).a < 0.5) discard;" +
        "  gl_FragColor = uColour;" +
        "}");
    if (!scene || !glyph) return 3;
    var corners = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, corners);
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([0, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 1]), gl.STATIC_DRAW);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    // The canvas may have had a context of ours before: OpenGL's initial
    // state, which the C++ side starts from again.
    gl.disable(gl.DEPTH_TEST); gl.disable(gl.CULL_FACE); gl.disable(gl.BLEND);
    gl.depthFunc(gl.LESS); gl.blendFunc(gl.ONE, gl.ZERO);
    gl.cullFace(gl.BACK); gl.frontFace(gl.CCW);
    gl.clearColor(0, 0, 0, 0); gl.clearDepth(1);
    gl.viewport(0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight);
    Module.quarvelGl = {gl: gl, scene: scene, glyph: glyph, vertices: gl.createBuffer(),
                        corners: corners, textures: [null], program: null};
    return 0;
});

EM_JS(void, JsDestroyContext, (), {
    var q = Module.quarvelGl;
    if (!q) return;
    var gl = q.gl;
    q.textures.forEach(function(t) { if (t) gl.deleteTexture(t); });
    gl.deleteBuffer(q.vertices);
    gl.deleteBuffer(q.corners);
    gl.deleteProgram(q.scene.program);
    gl.deleteProgram(q.glyph.program);
    // The context itself stays with the canvas, and so does the last
    // picture drawn: a replay's last frame is left on the page.
    Module.quarvelGl = null;
});

EM_JS(int, JsDrawingBufferSize, (int height), {
    var gl = Module.quarvelGl.gl;
    return height ? gl.drawingBufferHeight : gl.drawingBufferWidth;
});

EM_JS(void, JsSetCapability, (int cap, int on), {
    var gl = Module.quarvelGl.gl;
    if (on) gl.enable(cap); else gl.disable(cap);
});

EM_JS(void, JsCall, (int what, double a, double b, double c, double d), {
    var gl = Module.quarvelGl.gl;
    switch (what) {
    case 0x0BA2: gl.viewport(a, b, c, d); break;
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

bool WebGl_CreateContext(const char *canvasSelector, std::string *error)
{
    WebGl_DestroyContext();
    const int failure = JsCreateContext(canvasSelector);
    if (failure != 0) {
        if (error)
            *error = failure == 1   ? std::string("no canvas ") + canvasSelector + " on the page"
                     : failure == 2 ? "this browser has no WebGL"
                                    : "the browser's WebGL could not build the game's shaders";
        return false;
    }
    Gl_ResetState();
    webGl.contextMade = true;
    // The viewport starts as the whole drawing buffer, as a new context's.
    webGl.viewport[2] = JsDrawingBufferSize(0);
    webGl.viewport[3] = JsDrawingBufferSize(1);
    return true;
}

void WebGl_DestroyContext()
{
    if (!webGl.contextMade)
        return;
    JsDestroyContext();
    Gl_ResetState();
}

void WebGl_Apply(GLenum what)
{
    if (!webGl.contextMade)
        return;
    switch (what) {
    case GL_DEPTH_TEST: JsSetCapability(what, webGl.depthTest); break;
    case GL_CULL_FACE: JsSetCapability(what, webGl.cullFace); break;
    case GL_BLEND: JsSetCapability(what, webGl.blend); break;
    case GL_VIEWPORT:
        JsCall(what, webGl.viewport[0], webGl.viewport[1], webGl.viewport[2], webGl.viewport[3]);
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

void glFinish()
{
    if (!Gl_MayChangeState("glFinish"))
        return;
    if (webGl.contextMade)
        JsCall(callFinish, 0, 0, 0, 0);
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
    if (webGl.contextMade)
        JsReadPixels(x, y, width, height, static_cast<unsigned char *>(pixels));
}
