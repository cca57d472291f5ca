#pragma once
#include "game/world/item.h"

namespace game
{
// A weapon lying in the world for a human to take. For now it only holds its place.
class Weapon : public Item
{
public:
    explicit Weapon(EntityManager* manager);

    std::string getType() const override { return "weapon"; }
    Entity* createInstance() override { return new Weapon(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
