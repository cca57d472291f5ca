#pragma once
#include "game/world/entity.h"

#include <vector>

namespace game
{
// A platform moving along waypoints. For now it holds its place and has no route.
class Platform : public Entity
{
public:
    explicit Platform(EntityManager* manager);

    std::string getType() const override { return "platform"; }
    Entity* createInstance() override { return new Platform(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
    // The route; a platform that reaches into view is relevant even when its position is not.
    unsigned getWaypointCount() const { return static_cast<unsigned>(mWaypoints.size()); }
    // Zero for an index out of range.
    Ogre::Vector3 getWaypoint(unsigned index) const;

private:
    std::vector<Ogre::Vector3> mWaypoints;
};
} // namespace game
