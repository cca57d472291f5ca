#pragma once
#include "game/world/ai.h"
#include "game/world/eventdispatcher.h"

#include <OgreVector.h>

namespace game
{
class Drone;

// The drone's brain: it hovers idle and looks left and right, searches when something pokes it
// hard enough, attacks a target by keeping "attackdistance" from it and firing, backs away after
// ramming it, and swerves off what blocks it. Noises within "activetargetrange" turn it toward
// their source. Authoritative side only, one think per 0.1 s.
class DroneAI : public AI, public EventDispatcher::Listener
{
public:
    enum State : unsigned
    {
        IDLE = 0,
        SEARCH = 1,
        ATTACK = 2,
        RETREAT = 3,
        EVADE = 4
    };

    // A push counts as strong (it wakes the drone) above this squared length; a noise pushes
    // with NOISE_PUSH, so a noise alone only turns it.
    static constexpr float STRONG_PUSH = 0.3f;
    static constexpr float NOISE_PUSH = 0.5f;
    static constexpr float TOUCH_PUSH = 0.25f;
    // A search without a target ends after this many seconds.
    static constexpr float SEARCH_TIME = 10.0f;
    // An evading drone keeps its swerve at least this long.
    static constexpr float EVADE_TIME = 0.5f;
    // Within this distance of "attackdistance" the drone holds still.
    static constexpr float DISTANCE_TOLERANCE = 0.2f;
    // It fires at a clearly seen target closer than "attackdistance" times this.
    static constexpr float FIRING_REACH = 1.25f;
    // A deflected move loses a little more than its part along the normal.
    static constexpr float DEFLECTION = 1.1f;

    DroneAI(EntityManager* manager, Drone* owner);
    ~DroneAI() override;

    // Listens to the dispatcher's Noise events until the AI dies; null listens to nothing.
    void setEventDispatcher(EventDispatcher* dispatcher);

    bool load(const brix::XMLElement* definition) override;
    void copyParameters(const AI& other) override;
    void reset() override;
    bool isTargetInView(const Ogre::Vector3& offset) const override;
    int checkVisibility(Entity* target) override;
    void think(float elapsed) override;

    unsigned getState() const { return mState; }
    // Where a hit came from (the direction it travelled); pushes the drone toward the shooter.
    void onHit(const Ogre::Vector3& direction);
    // A contact of the drone's body with the normal pointing toward the drone; true when the
    // drone should damage the other entity (it rammed its target).
    bool onContact(const Ogre::Vector3& normal, Entity* other);
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;

    float getIdleTargetRange() const { return mIdleTargetRange; }
    float getActiveTargetRange() const { return mActiveTargetRange; }
    float getAttackDistance() const { return mAttackDistance; }

private:
    void offerPush(const Ogre::Vector2& push);
    bool isPushStrong() const { return mStimulus.squaredLength() > STRONG_PUSH; }
    void setMovement(const Ogre::Vector2& direction, bool alsoAim, bool keepHeight);
    void deflect(const Ogre::Vector2& normal);
    void chooseRandomDirection();
    void setState(State state);
    void enterAttack();
    float randomPhase(float phaseTime) const;
    void thinkIdle(float elapsed);
    void thinkSearch(float elapsed);
    void thinkAttack(float elapsed);
    void thinkRetreat(float elapsed);
    void thinkEvade(float elapsed);

    Drone* mDrone;
    EventDispatcher* mEventDispatcher = nullptr;
    float mIdleTargetRange = 0.0f;
    float mActiveTargetRange = 0.0f;
    float mIdlePhaseTime = 0.0f;
    float mSearchPhaseTime = 0.0f;
    float mPhaseTimeVariation = 0.0f;
    float mAttackDistance = 0.0f;
    float mRetreatDistance = 0.0f;
    float mRetreatTime = 0.0f;
    bool mLimitFieldOfView = false;
    float mMinimumHeight = 0.0f;
    unsigned mState = IDLE;
    float mPhaseTimer = 0.0f;
    float mStateTimer = 0.0f;
    Ogre::Vector2 mStimulus = Ogre::Vector2::ZERO;
};
} // namespace game
