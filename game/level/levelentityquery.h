#pragma once
#include <string>

namespace game
{
// What the level asks of the game world, which it cannot see: the entities its traces hit and
// the prototypes its entity points name. The game world implements it and hands it to the
// level. Physics movables carry their entity as user data.
class LevelEntityQuery
{
public:
    virtual ~LevelEntityQuery() = default;
    // The attribute flag word of the entity a movable carries as user data (never null).
    virtual unsigned getEntityFlags(const void* userData) const = 0;
    // Whether an entity of that prototype can be created.
    virtual bool hasPrototype(const std::string& name) const = 0;
};
} // namespace game
