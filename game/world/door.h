#pragma once
#include "engine/core/movablevelocitycontroller.h"
#include "game/world/entity.h"
#include "game/world/mechanismparts.h"

namespace game
{
// A sliding door that opens for a "player" carrying a matching key and closes again after a
// delay. Its body slides in depth (z) on its template's joint, hung on the level's static body
// and pushed by a velocity controller. The state machine runs on the authoritative side;
// clients get the state, the denied flag and the z velocity and play the sounds from them.
//
// A door whose body cannot slide (no body template, a template without a joint, no level to
// hang on) is logged at spawn and stays shut where it stands.
class Door : public Entity
{
public:
    enum DoorState : unsigned
    {
        CLOSED = 0,
        OPENING = 1,
        OPEN = 2,
        CLOSING = 3
    };

    // Humans within this distance (x/y plane) stand at the door.
    static constexpr float REACH = 2.0f;
    // A door that cannot close within this many ticks opens again.
    static constexpr unsigned MAX_CLOSING_TICKS = 160;
    // The state changes this far before the joint's limits.
    static constexpr float LIMIT_MARGIN = 0.1f;
    static constexpr float CONTROLLER_GAIN = 10000.0f;
    static constexpr float CONTROLLER_LIMIT = 2000.0f;
    static constexpr float VELOCITY_LIMIT = 3.0f;

    explicit Door(EntityManager* manager);
    ~Door() override;

    std::string getType() const override { return "door"; }
    Entity* createInstance() override { return new Door(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    void spawn() override;
    void remove() override;
    void kill() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;

    // The name of the physics body template of the door, which the map generators build doors from.
    std::string getBodyTemplateName() const { return mBodyTemplateName; }
    DoorState getDoorState() const { return static_cast<DoorState>(mDoorState); }
    // A "player" without a matching key stood at the door this tick.
    bool isDenied() const { return mDenied; }

private:
    void hangBody();
    void setDoorState(DoorState state);

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SamplePtr mMoveSound;
    SamplePtr mStopSound;
    SamplePtr mDenySound;
    int mKeyMask = 0;
    float mClosingDelay = 0.0f;
    float mOpeningSpeed = 1.0f;
    float mClosingSpeed = 1.0f;

    // Run time.
    MechanismParts mParts;
    // The body slides on its joint; false for a door that stays shut.
    bool mSliding = false;
    brix::MovableVelocityController mController{CONTROLLER_GAIN, CONTROLLER_LIMIT};
    float mClosedThreshold = 0.0f;
    float mOpenThreshold = 0.0f;
    unsigned mMoveSoundHandle = 0;
    unsigned mDoorState = CLOSED;
    unsigned mPreviousDoorState = CLOSED;
    unsigned mTimer = 0;
    bool mDenied = false;
    bool mPreviousDenied = false;
};
} // namespace game
