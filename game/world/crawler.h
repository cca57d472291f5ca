#pragma once
#include "game/world/crawlerai.h"
#include "game/world/enemy.h"

#include <OgreVector.h>

#include <string>

namespace game
{
class ManualShadow;

// The walking enemy. Its body falls under gravity; standing on a floor, it drives along the
// floor's tangent toward the walking speed its brain asks for, tilts to match the slope, and
// blows itself up (through its own full damage) when its brain fires or it touches a target,
// posting CrawlerKilled. It casts a blob shadow of "shadowradius".
//
// Replicated after position and velocity: the damage trigger. The walking direction and the
// ground are not sent, so on a client the walk animation stands still.
class Crawler : public Enemy
{
public:
    // The drive pushes with at most DRIVE_LIMIT, DRIVE_GAIN per unit of speed missing.
    static constexpr float DRIVE_GAIN = 1000.0f;
    static constexpr float DRIVE_LIMIT = 1800.0f;
    static constexpr float DEPTH_STIFFNESS = 5000.0f;
    static constexpr float DEPTH_DAMPING = 500.0f;
    // A surface whose normal points up more than this is a floor.
    static constexpr float FLOOR_NORMAL_Y = 0.5f;
    // The crawler turns this share of the way to the floor's slope each tick.
    static constexpr float SLOPE_RATE = 0.2f;
    static constexpr float SHADOW_SIZE = 0.5f;

    explicit Crawler(EntityManager* manager);
    ~Crawler() override;

    std::string getType() const override { return "crawler"; }
    Entity* createInstance() override { return new Crawler(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    void spawn() override;
    void remove() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    // The drive, before every physics step.
    void update(brix::Movable* movable, float step) override;

    // What the last probe below the crawler found: a floor within "speed" below is ground.
    bool isOnGround() const { return mOnGround; }
    const Ogre::Vector3& getGroundNormal() const { return mGroundNormal; }
    float getGroundDistance() const { return mGroundDistance; }
    // The tangent of a floor with that normal, pointing right.
    static Ogre::Vector3 floorTangent(const Ogre::Vector3& normal);

    CrawlerAI& getAI() { return mAI; }

    // -1 to 1, as the brain decides it; the authoritative side's loaded brain sets it every tick.
    void setMoveX(float moveX) { mMoveX = moveX; }
    float getMoveX() const { return mMoveX; }
    // Blows the crawler up: its own full integrity as damage, with its own id as attacker.
    void selfDestruct();

protected:
    void onHit(const Ogre::Vector3& direction) override;
    // Touching what the brain is after sets the crawler off.
    void onContact(const brix::Movable::TContact& contact, Entity* other) override;

private:
    void probeGround();
    void updateShadow();

    // Definition.
    float mShadowRadius = 0.0f;

    // Run time.
    CrawlerAI mAI;
    float mMoveX = 0.0f;
    bool mOnGround = false;
    Ogre::Vector3 mGroundNormal = Ogre::Vector3::ZERO;
    float mGroundDistance = 0.0f;
    ManualShadow* mShadow = nullptr;
};
} // namespace game
