#pragma once
#include "game/world/ai.h"
#include "game/world/eventdispatcher.h"

#include <vector>

namespace brix
{
struct TTraceContact;
}

namespace game
{
class Human;

// The brain of an enemy human, a guard: it stands, patrols back and forth along its floor,
// stops at ledges and obstacles, turns toward noises and hits, attacks a target it can see while
// keeping its distance, reloads, and turns its aim at a limited rate. Its human embeds it and
// runs it on the authoritative side when no controller drives the human and the definition has
// an "ai" element; the outputs become the human's input (move x as walk, aim, fire as the shoot
// button, the secondary action as reload).
//
// Definition (after the base's): "targetrange", "minimumattackrange", "maximumattackrange"
// (world units), "patrolwalkspeed", "attackwalkspeed" (walk values 0 to 1), "aimspeed" (degrees
// per second), "aimtolerance" (degrees: the aim error it fires within, also the width of the aim
// slow-down), "damagestuntime", "idletime", "blockedtime", "reactiontime" (seconds).
class HumanAI : public AI, public EventDispatcher::Listener
{
public:
    enum State
    {
        IDLE = 0,
        PATROL = 1,
        BLOCKED = 2,
        ATTACK = 3
    };

    // What the guard last had to say, for its human's speech; NONE until the first target.
    enum Speech
    {
        SPEECH_NONE = 0,
        SPEECH_TARGET_HUMAN = 1,
        SPEECH_TARGET_OTHER = 2,
        SPEECH_TARGET_KILLED = 3,
        SPEECH_TARGET_LOST = 4
    };

    static constexpr float DEFAULT_AIM_SPEED = 180.0f;
    static constexpr float DEFAULT_AIM_TOLERANCE = 4.0f;
    // The aim angle of a guard at rest, degrees above the horizontal.
    static constexpr float REST_AIM = -45.0f;
    // How far ahead the path check looks for ground and obstacles.
    static constexpr float PATH_CHECK_DISTANCE = 0.9f;
    // A turn request at least this large comes from a hit rather than a sound.
    static constexpr float HIT_TURN_REQUEST = 0.75f;

    HumanAI(EntityManager* manager, Human* owner);
    ~HumanAI() override;

    bool load(const brix::XMLElement* definition) override;
    void copyParameters(const AI& other) override;
    void reset() override;
    bool isTargetInView(const Ogre::Vector3& offset) const override;
    int checkVisibility(Entity* target) override;
    void idle() override;
    void think(float elapsed) override;

    // Noise (a: its source) and a hurt human (a: the human) turn the guard.
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;
    // The owner was hit from this direction: turn toward where it came from and hold fire for
    // the stun time.
    void notifyDamage(const Ogre::Vector3& direction);

    int getState() const { return mState; }
    // +1 facing and walking to +x, -1 to -x.
    float getDirection() const { return mDirection; }
    float getReactionTimer() const { return mReactionTimer; }
    int getSpeechState() const { return mSpeechState; }
    float getTargetRange() const { return mTargetRange; }

private:
    void enterState(int state);
    void startAttack();
    void turnTo(float side);
    // True when the guard may walk toward the side (+1 or -1): in the air, or with no obstacle
    // ahead and solid level ground below the next step.
    bool isPathClear(float side) const;
    // The clip of the selected weapon; false without one.
    bool readClip(int& clip, int& perClip) const;
    void thinkIdle(float elapsed);
    void thinkPatrol(float elapsed);
    void thinkAttack(float elapsed);
    void speakAbout(const Entity* target);

    Human* mHuman;
    // The dispatcher it listens to, as it was when the human was built; it outlives the human.
    EventDispatcher* mEvents;

    // Tuning.
    float mTargetRange = 0.0f;
    float mMinimumAttackRange = 0.0f;
    float mMaximumAttackRange = 0.0f;
    float mPatrolWalkSpeed = 0.0f;
    float mAttackWalkSpeed = 0.0f;
    float mAimSpeed = DEFAULT_AIM_SPEED;
    float mAimTolerance = DEFAULT_AIM_TOLERANCE;
    float mDamageStunTime = 0.0f;
    float mIdleTime = 0.0f;
    float mBlockedTime = 0.0f;
    float mReactionTime = 0.0f;

    int mState = IDLE;
    float mStateTimer = 0.0f;
    float mDirection = 1.0f;
    float mAimTarget = REST_AIM;
    float mAim = 0.0f;
    float mAimWanderTimer = 0.0f;
    float mReactionTimer = 0.0f;
    float mTurnRequest = 0.0f;
    int mSpeechState = SPEECH_NONE;
    // Hits of the last path check, kept so that thinking does not allocate.
    mutable std::vector<brix::TTraceContact> mPathHits;
};
} // namespace game
