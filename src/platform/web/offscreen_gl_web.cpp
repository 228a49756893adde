// The headless tools' context in a browser: the page's canvas, where
// quarvel-sim's replay draws its frames (index.html?seed=...). Under node
// there is no canvas, and no context.

#include "platform/offscreen/offscreen_gl.h"

#include <string>

#include <emscripten/emscripten.h>

#include "platform/web/gl/web_gl.h"
#include "platform/web/web_backend.h"

// Gives the canvas a drawing buffer of width x height pixels, whatever its
// size on the page; 0 where there is no canvas.
EM_JS(int, WebSizeCanvas, (int width, int height), {
    const canvas = typeof document !== "undefined" && document.querySelector("#canvas");
    if (!canvas)
        return 0;
    canvas.width = width;
    canvas.height = height;
    return 1;
});

static std::string offscreenError;
static bool offscreenOpen = false;

bool OffscreenGL_Open(int width, int height)
{
    if (offscreenOpen)
        return WebSizeCanvas(width, height) != 0;
    offscreenError.clear();
    if (!WebSizeCanvas(width, height)) {
        offscreenError = "no canvas: not in a browser";
        return false;
    }
    offscreenOpen = WebGl_CreateContext(webCanvas, &offscreenError);
    return offscreenOpen;
}

// A replay on the page ends with its last frame on the canvas, for the
// player to see and the tests to read: the context stays there until the
// page goes, and a later Open draws in it again.
void OffscreenGL_Close()
{
}

const char *OffscreenGL_Error()
{
    return offscreenError.c_str();
}
