#pragma once
#include "game/world/entity.h"

namespace game
{
// A door opened by key masks. For now it holds its place and names its body template, which the
// map generators build doors from.
class Door : public Entity
{
public:
    explicit Door(EntityManager* manager);

    std::string getType() const override { return "door"; }
    Entity* createInstance() override { return new Door(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    // The name of the physics body template of the door.
    std::string getBodyTemplateName() const { return mBodyTemplateName; }

private:
    std::string mBodyTemplateName;
};
} // namespace game
