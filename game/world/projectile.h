#pragma once
#include "game/world/entity.h"

namespace game
{
// A shot in flight. For now it only holds its place.
class Projectile : public Entity
{
public:
    explicit Projectile(EntityManager* manager);

    std::string getType() const override { return "projectile"; }
    Entity* createInstance() override { return new Projectile(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
