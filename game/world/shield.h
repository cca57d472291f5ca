#pragma once
#include "engine/core/movablepositioncontroller.h"
#include "game/world/entity.h"
#include "game/world/mechanismparts.h"

namespace game
{
class Human;

// The energy shield a human raises in front of itself: a body held by a position controller
// whose target the owner moves every tick. While it is up it drains its owner's shield energy,
// steadily and by a tenth of every hit; it powers up and down over POWER_SECONDS and is killed
// once it has faded out.
class Shield : public Entity
{
public:
    static constexpr float DRAIN_PER_TICK = 0.025f;
    static constexpr float HIT_DRAIN = 0.1f;
    static constexpr float POWER_SECONDS = 0.4f;
    // The owner loses the shield beyond this distance, or when it is pushed this far off its target.
    static constexpr float MAX_OWNER_DISTANCE = 8.0f;
    static constexpr float MAX_TARGET_ERROR = 1.0f;
    static constexpr int HUM_PRIORITY = 20;
    static constexpr float VELOCITY_LIMIT = 5.0f;

    explicit Shield(EntityManager* manager);
    ~Shield() override;

    std::string getType() const override { return "shield"; }
    Entity* createInstance() override { return new Shield(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    void spawn() override;
    void remove() override;
    void kill() override;
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    void damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                uint32_t attackerId) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;

    // The human whose energy feeds the shield; null for none.
    void setOwner(Human* owner);
    // Raises or lowers the shield: its body takes part in the world only while powered.
    void setPowered(bool powered);
    bool isOn() const { return mOn; }
    float getIntensity() const { return mIntensity; }
    // The owner moves the controller's target every tick.
    brix::MovablePositionController& getController() { return mController; }

private:
    // The owner while it still lives in the world; a purged owner is forgotten.
    Human* getLivingOwner();
    void switchOff();

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SamplePtr mLoopSound;
    SamplePtr mPowerUpSound;
    SamplePtr mPowerDownSound;
    TLight mLight;
    float mControllerGain = 0.0f;
    float mControllerDamping = 0.0f;
    float mControllerLimit = 0.0f;

    // Run time.
    MechanismParts mParts;
    Ogre::SceneNode* mLightNode = nullptr;
    brix::AnimatedLight* mAnimatedLight = nullptr;
    unsigned mLoopSoundHandle = 0;
    brix::MovablePositionController mController;
    Human* mOwner = nullptr;
    uint32_t mOwnerEntityId = 0;
    float mIntensity = 0.0f;
    bool mOn = false;
    bool mPreviousOn = false;
};
} // namespace game
