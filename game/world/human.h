#pragma once
#include "game/world/entity.h"

namespace game
{
// A person in the world, player or enemy. For now it stands where it was placed and keeps its
// standing height, which line-of-sight tests aim at.
class Human : public Entity
{
public:
    explicit Human(EntityManager* manager);

    std::string getType() const override { return "human"; }
    Entity* createInstance() override { return new Human(mManager); }
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override { holdPose(tick); }
    static constexpr float DEFAULT_STAND_HEIGHT = 0.95f;

    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;

    // The points that line-of-sight tests aim at besides the position.
    Ogre::Vector3 getHeadPoint() const;
    Ogre::Vector3 getLowerPoint() const;
    bool isCrouched() const { return false; }
    // Alive while active, until damage is modelled.
    float getHealth() const override { return mState == ACTIVE ? 1.0f : 0.0f; }

private:
    // Height of the body origin above the ground while standing.
    float mStandHeight = DEFAULT_STAND_HEIGHT;
};
} // namespace game
