#pragma once
#include "game/world/entity.h"

namespace game
{
// A walking enemy. For now it only holds its place.
class Crawler : public Entity
{
public:
    explicit Crawler(EntityManager* manager);

    std::string getType() const override { return "crawler"; }
    Entity* createInstance() override { return new Crawler(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
