#pragma once
#include <string>

namespace brix
{
// One entry of a high-score table. Higher scores are better.
struct HighScore
{
    std::string level;
    std::string name;
    // Free text of the game (time, kills and vials of the run).
    std::string custom;
    // Seconds since 1970, set by the game.
    unsigned int timestamp = 0;
    int score = 0;
};
} // namespace brix
