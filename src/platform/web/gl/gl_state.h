#pragma once

// What the game's OpenGL 1.1 keeps between calls: one state for the one
// context a page has. Shared by the files of this folder only.

#include <GL/gl.h>

#include <map>
#include <vector>

// One vertex as the shader takes it: the position drawn, the position the
// lighting is computed at (the provoking vertex's under flat shading), the
// colour and the normal.
static constexpr int vertexFloats = 13;

// Each matrix stack holds 32 matrices, as Mesa's do.
static constexpr int matrixStackDepth = 32;

struct Light {
    bool  enabled = false;
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float position[4] = {0, 0, 1, 0};    // eye coordinates, as of glLightfv
    float attenuation[3] = {1, 0, 0};    // constant, linear, quadratic
};

// A glBitmap call, kept in a display list.
struct Bitmap {
    int      width = 0, height = 0;
    float    xOrigin = 0, yOrigin = 0, xMove = 0, yMove = 0;
    unsigned texture = 0;                // WebGL texture of the set bits, 0 when empty
};

// The modes glPixelStorei sets for unpacking bitmaps.
struct PixelStore {
    int  alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0;
    bool lsbFirst = false, swapBytes = false;
};

struct WebGlState {
    bool contextMade = false;
    GLenum error = GL_NO_ERROR;          // the first error since glGetError

    // Transforms
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<std::vector<float>> modelview{std::vector<float>(16)};   // stack, top last
    std::vector<std::vector<float>> projection{std::vector<float>(16)};
    int viewport[4] = {0, 0, 0, 0};
    int scissor[4] = {0, 0, 0, 0};

    // Current vertex attributes
    float colour[4] = {1, 1, 1, 1};
    float normal[3] = {0, 0, 1};

    // Enables
    bool depthTest = false, cullFace = false, blend = false, lighting = false;
    bool colourMaterial = false, normalize = false, pointSmooth = false, scissorTest = false;

    // Lighting
    Light lights[8];
    GLenum colourMaterialFace = GL_FRONT_AND_BACK;
    GLenum colourMaterialMode = GL_AMBIENT_AND_DIFFUSE;
    // The front material, as the current colour last left it while colour
    // material was on (every face is lit with it: no two-sided lighting).
    float materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float materialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};

    // Rasterisation
    GLenum shadeModel = GL_SMOOTH;
    float pointSize = 1.0f;
    GLenum frontFace = GL_CCW, cullFaceMode = GL_BACK, depthFunc = GL_LESS;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    float clearColour[4] = {0, 0, 0, 0};
    double clearDepth = 1.0;

    // glBegin .. glEnd
    bool inBegin = false;
    GLenum primitive = GL_POINTS;        // of the open glBegin
    std::vector<float> begun;            // vertices since glBegin
    GLenum batchPrimitive = GL_POINTS;   // of the vertices waiting to be drawn
    std::vector<float> batch;            // whole primitives, drawn at the next state change

    // Raster position and bitmaps
    bool  rasterValid = true;
    float rasterPosition[3] = {0, 0, 0}; // window coordinates
    float rasterColour[4] = {1, 1, 1, 1};
    PixelStore unpack;
    std::vector<PixelStore> clientAttribStack;

    // Display lists
    std::map<GLuint, std::vector<Bitmap>> lists;
    GLuint listBase = 0;
    std::vector<GLuint> listBaseStack;   // glPushAttrib(GL_LIST_BIT)
    GLuint compiling = 0;                // the list glNewList opened, 0 when none
    std::vector<Bitmap> compiled;        // its commands so far
};

extern WebGlState webGl;                 // the state of the page's one context

// Records an error for glGetError (the first one stays until it is read).
void Gl_SetError(GLenum error);
// Refuses a call the game's OpenGL does not draw: says so once per kind on
// the console and sets error, so nothing is drawn quietly wrong.
void Gl_Refuse(GLenum error, const char *what);
// False, with GL_INVALID_OPERATION, inside glBegin/glEnd; false and refused
// while a display list is compiled (only glBitmap is kept in lists); else
// draws the waiting batch and says yes. Every call that changes state asks
// this first; glBegin does not, as its primitives join the batch.
bool Gl_MayChangeState(const char *name);
// Draws the primitives waiting in the batch. Every state change calls it
// before it changes anything the batch would be drawn with.
void Gl_Flush();
// The top of the current matrix stack.
float *Gl_CurrentMatrix();
// result = a * b, 4x4 column-major.
void Gl_MultiplyMatrix(float *result, const float *a, const float *b);
// Multiplies the current matrix on the right by m.
void Gl_MultiplyCurrent(const float *m);
// out = m * v for a 4-vector.
void Gl_Transform(float *out, const float *m, const float *v);

// Puts the state back to a new context's.
void Gl_ResetState();
// With colour material on, the current colour is the front material's
// ambient and/or diffuse colour, and stays so when it is switched off.
void Gl_TrackColour();

// The WebGL side (webgl_draw.cpp).
// Hands WebGL the state's setting of what: GL_DEPTH_TEST, GL_CULL_FACE,
// GL_BLEND, GL_VIEWPORT, GL_FRONT_FACE, GL_CULL_FACE_MODE, GL_DEPTH_FUNC,
// GL_BLEND_SRC (both factors), GL_COLOR_CLEAR_VALUE or GL_DEPTH_CLEAR_VALUE.
void WebGl_Apply(GLenum what);
void WebGl_Clear(GLbitfield mask);
// Draws count vertices of the batch layout with the state's matrices,
// lighting and point settings.
void WebGl_Draw(GLenum primitive, const float *vertices, int count);
// Draws a bitmap's set bits with its lower-left corner at window (x, y).
void WebGl_DrawBitmap(const Bitmap &bitmap, float x, float y, float depth, const float *colour);
// A texture of the bitmap's bits, one byte each (255 set), rows bottom up.
unsigned WebGl_MakeBitmapTexture(const unsigned char *alpha, int width, int height);
void WebGl_DeleteTexture(unsigned texture);
// Waits until everything drawn is in the picture.
void WebGl_Finish();
// Reads RGBA bytes of the picture, rows bottom up.
void WebGl_ReadPixels(int x, int y, int width, int height, unsigned char *pixels);
