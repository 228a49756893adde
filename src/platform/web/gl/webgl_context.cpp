// The WebGL side of the game's OpenGL: the context on the page's canvas,
// with the two shader programs (the scene's, with OpenGL 1.1's per-vertex
// lighting, and the glyphs'). The JavaScript lives in Module.quarvelGl so
// that nothing of emscripten's own GL library is used; webgl_draw.cpp
// hands it what is drawn.

#include "platform/web/gl/gl_state.h"
#include "platform/web/gl/web_gl.h"

#include <cmath>
#include <emscripten.h>

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
    // The viewport and the scissor box start as the whole drawing buffer,
    // as a new context's.
    webGl.viewport[2] = webGl.scissor[2] = JsDrawingBufferSize(0);
    webGl.viewport[3] = webGl.scissor[3] = JsDrawingBufferSize(1);
    return true;
}

void WebGl_DestroyContext()
{
    if (!webGl.contextMade)
        return;
    JsDestroyContext();
    Gl_ResetState();
}
