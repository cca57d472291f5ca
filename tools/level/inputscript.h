#pragma once
#include "game/world/controller.h"

#include <string>
#include <vector>

namespace levels
{
// The input a player gave, one record per tick, kept as a text file. After comment lines
// (starting with "#") each line is one run of equal records:
//
//   COUNT MOVE AIMX AIMY BUTTONS
//
// COUNT ticks (at least 1) of the walk value, the aim vector and the button bits of
// game::Controller::TInput; the floats are written with all their digits, so a script read
// back gives exactly the inputs that were written.
class InputScript
{
public:
    // The records in order; their ticks are not kept.
    std::vector<game::Controller::TInput> inputs;

    // Replaces the records with those of the file. False, with the cause in error (the line
    // number included), for a missing file or a malformed line; the records are then empty.
    bool load(const std::string& path, std::string& error);
    // Writes the records under the comment lines, through a temporary file. False when the file
    // cannot be written.
    bool save(const std::string& path, const std::vector<std::string>& comments) const;
};
} // namespace levels
