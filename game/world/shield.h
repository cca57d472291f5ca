#pragma once
#include "game/world/entity.h"

namespace game
{
// The energy shield a human raises. For now it only holds its place.
class Shield : public Entity
{
public:
    explicit Shield(EntityManager* manager);

    std::string getType() const override { return "shield"; }
    Entity* createInstance() override { return new Shield(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
};
} // namespace game
