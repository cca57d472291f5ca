#pragma once

namespace game
{
// What the level asks of the game entities its traces hit: the game world implements it and
// hands it to the level, which cannot see entity classes. Physics movables carry their
// entity as user data.
class LevelEntityQuery
{
public:
    virtual ~LevelEntityQuery() = default;
    // The attribute flag word of the entity a movable carries as user data (never null).
    virtual unsigned getEntityFlags(const void* userData) const = 0;
};
} // namespace game
