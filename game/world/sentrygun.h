#pragma once
#include "game/world/entity.h"

namespace game
{
// A fixed gun that fires at what it sees. For now it only holds its place.
class SentryGun : public Entity
{
public:
    explicit SentryGun(EntityManager* manager);

    std::string getType() const override { return "sentrygun"; }
    Entity* createInstance() override { return new SentryGun(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
