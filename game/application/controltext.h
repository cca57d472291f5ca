#pragma once
#include <cstddef>
#include <string>

namespace game
{
// One line of a controller's hint table: the action's name ("JUMP", "SHOOT", ...) and the key
// or button that does it, as shown to the player.
struct TControlText
{
    const char* action;
    const char* text;
};

// The text of the action in the table; empty for an action the table does not hold.
template <std::size_t N>
std::string findControlText(const TControlText (&table)[N], const std::string& action)
{
    for (const TControlText& entry : table)
        if (action == entry.action)
            return entry.text;
    return std::string();
}
} // namespace game
