// quarvel-sim: replays the game's world headless from a seed and prints
// what happened, one JSON object per line.

#include <iostream>

#include "sim/options.h"
#include "sim/simulation.h"

int main(int argc, char **argv)
{
    std::string error;
    const auto options = ParseSimOptions(argc, argv, error);
    if (!options) {
        std::cerr << "quarvel-sim: " << error << "; " << simUsage << "\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    return RunSimulation(*options, std::cout, std::cerr);
}
