#pragma once
#include "game/world/item.h"

namespace game
{
// A pickup (health, rounds, vials, keys, shield energy). For now it only holds its place.
class Package : public Item
{
public:
    explicit Package(EntityManager* manager);

    std::string getType() const override { return "package"; }
    Entity* createInstance() override { return new Package(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
