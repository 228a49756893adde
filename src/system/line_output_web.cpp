#include "system/line_output.h"

#include <emscripten/emscripten.h>

// In a browser the game's lines go to the console, without the CR LF that
// Windows' debugger wants, and to the page (Module.onGameLine), which
// shows the statistics after the game. Under node, as a tool, they go to
// stderr like the native tools' lines, written at once: node's own
// streams drop what is still queued when the program ends.
EM_JS(void, WebLine, (const char *line, int debug), {
    // (No backslash escapes here: the C++ string would turn them into
    // control characters before the JavaScript is parsed.)
    const text = UTF8ToString(line).trimEnd();
    if (typeof document === "undefined") {
        require("fs").writeSync(2, text + String.fromCharCode(10));
        return;
    }
    if (debug)
        console.log(text);
    else
        console.error(text);
    if (Module["onGameLine"])
        Module["onGameLine"](text);
});

void WriteDebugLine(const char *line, size_t)
{
    WebLine(line, 1);
}

void WriteStderrLine(const char *line, size_t)
{
    WebLine(line, 0);
}

void FlushLines()
{
}
