#pragma once
#include "game/world/entity.h"

namespace game
{
// A flying enemy. For now it only holds its place.
class Drone : public Entity
{
public:
    explicit Drone(EntityManager* manager);

    std::string getType() const override { return "drone"; }
    Entity* createInstance() override { return new Drone(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
