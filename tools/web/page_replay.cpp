// A replay on the page: index.html?seed=N&frames=K&frame-ms=M&random-keys=P
// plays the game quarvel-sim would play with those arguments, drawing every
// frame on the canvas, and leaves frame K's picture there.

#include <emscripten/emscripten.h>
#include <emscripten/emscripten.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/options.h"
#include "sim/simulation.h"
#include "system/debug_log.h"

EM_JS(void, WebReplayDone, (const char *title), {
    document.title = UTF8ToString(title);
});

// Writes each line of text as one of the platform's own lines (the console
// and the page).
static void WriteLines(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        StderrLine("%s\n", line.c_str());
}

// The page's parameters as quarvel-sim's command line: each is given to
// the same parser, which refuses what it would refuse there. An empty
// parameter is left out (the tool's default).
extern "C" EMSCRIPTEN_KEEPALIVE int QuarvelReplay(const char *seed, const char *frames,
                                                  const char *frameMs, const char *randomKeys)
{
    std::vector<std::string> words = {"quarvel-sim", "--draw"};
    const struct {
        const char *option;
        const char *value;
    } given[] = {{"--seed", seed}, {"--frames", frames}, {"--frame-ms", frameMs},
                 {"--random-keys", randomKeys}};
    for (const auto &parameter : given) {
        if (parameter.value && *parameter.value) {
            words.push_back(parameter.option);
            words.push_back(parameter.value);
        }
    }
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());

    std::string error;
    const auto options = ParseSimOptions(static_cast<int>(argv.size()), argv.data(), error);
    if (!options) {
        StderrLine("Replay: %s\n", error.c_str());
        return 2;
    }
    std::ostringstream out, err;
    const int code = RunSimulation(*options, out, err);
    WriteLines(out.str());
    WriteLines(err.str());
    if (code == 0)
        WebReplayDone(("Quarvel: frame " + std::to_string(options->frames)).c_str());
    return code;
}
