#pragma once

#include <cstdint>
#include <string>

class Ship;

// Watches the world from one update pass to the next: the structural rules
// of the lists and counters, finite positions, and a score that rises only
// by 20, 50 or 100 a kill. Also counts kills and lost ships for the summary.
class WorldWatch {
public:
    // Takes the world as it stands (after NewGame) as the starting point.
    void Start();
    // After an update pass: the first broken rule, or "" when all hold.
    // Kills and lost ships are counted whether or not a rule broke.
    std::string Observe();

    uint64_t kills = 0;
    uint64_t shipsLost = 0;

private:
    uint32_t lastScore = 0;
    int      lastLightIndex = 0;
    bool     hadShip = false;
};

// The structural rules alone, for the world as it stands.
std::string CheckWorldStructure();
