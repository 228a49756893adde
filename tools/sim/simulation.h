#pragma once

#include <ostream>

#include "sim/options.h"

// Runs the game's world headless as the program would (the seven lights,
// then the seed, then NewGame) on a virtual clock that advances by each
// frame time. Writes the trace and the summary line to out, problems to
// err. Returns the exit code: 0, or 1 when a check failed or no GL context
// could be had for --draw.
int RunSimulation(const SimOptions &options, std::ostream &out, std::ostream &err);
