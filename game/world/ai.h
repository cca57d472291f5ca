#pragma once
#include <OgreVector.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brix
{
class XMLElement;
}

namespace game
{
class Entity;
class EntityManager;

// The base of the enemy brains. An AI belongs to one entity (its owner, which outlives it),
// reads its tuning from the "ai" element of the owner's definition and is stepped by the owner
// once per tick, on the authoritative side only and only once loaded. It thinks every
// THINK_SECONDS, holds at most one target found through the type and name filters, and offers
// four outputs that the owner turns into motion and weapon use: a move direction (its length the
// speed as a fraction 0 to 1), a unit aim direction, a firing flag and a secondary-action flag.
//
// A subclass supplies the field of view (isTargetInView), the line-of-sight test
// (checkVisibility) and the decision step (think), which usually calls updateTarget.
//
// Definition: "targetdetecttime" (seconds a candidate must be seen before it is taken),
// "targetreleasetime" (seconds a held target may stay unseen), and any number of "targettype"
// (entity type names) and "targetname" (definition names) filters; an empty list lets all pass.
// Missing values read as 0. An enemy never takes itself or the entity that owns it as a target.
class AI
{
public:
    // Thinking cadence: every fourth tick of 0.025 s.
    static constexpr float THINK_SECONDS = 0.1f;
    static constexpr float TICK_SECONDS = 0.025f;

    // Line-of-sight codes of checkVisibility.
    static constexpr int VISIBILITY_NONE = 0;
    static constexpr int VISIBILITY_SEETHROUGH = 1;
    static constexpr int VISIBILITY_CLEAR = 2;

    AI(EntityManager* manager, Entity* owner);
    virtual ~AI();
    AI(const AI&) = delete;
    AI& operator=(const AI&) = delete;

    // Reads the tuning from the owner's "ai" element. A null element leaves everything as it was
    // but the loaded flag, which becomes false; returns the new loaded flag. Subclasses call the
    // base first and read their own values only when it returns true.
    virtual bool load(const brix::XMLElement* definition);
    // Copies the tuning (times, filters, loaded flag) from the prototype's AI; subclasses call
    // the base first, then copy their own.
    virtual void copyParameters(const AI& other);
    // Once per tick: thinks when THINK_SECONDS have gathered (returns true), else idles.
    virtual bool update();
    // Drops the target and clears the outputs (aim (1, 0)); the tuning stays. Subclasses call
    // the base first.
    virtual void reset();
    virtual bool isLoaded() const { return mLoaded; }
    virtual Ogre::Vector2 getMoveDirection() const { return mMoveDirection; }
    virtual Ogre::Vector2 getAimDirection() const { return mAimDirection; }
    virtual bool isFiring() const { return mFiring; }
    virtual bool isSecondaryAction() const { return mSecondaryAction; }
    // May a candidate at this offset from the owner be considered at all.
    virtual bool isTargetInView(const Ogre::Vector3& offset) const = 0;
    // Line of sight to a candidate: one of the VISIBILITY codes, above 0 meaning visible.
    virtual int checkVisibility(Entity* target) = 0;
    // Called on the ticks without a think.
    virtual void idle() {}
    // The decision step; elapsed is the time gathered since the last one (THINK_SECONDS).
    virtual void think(float elapsed) = 0;

    Entity* getOwner() const { return mOwner; }
    // The held target's entity id; 0 when none.
    uint32_t getTargetId() const { return mTargetId; }
    // The visibility code of the held target at the last updateTarget.
    int getTargetVisibility() const { return mTargetVisibility; }
    // Toward the held target in the x/y plane, of unit length, with its distance and its
    // absolute x offset. Refreshed only while a target is held; the last values stay after.
    const Ogre::Vector2& getTargetDirection() const { return mTargetDirection; }
    float getTargetDistance() const { return mTargetDistance; }
    float getTargetHorizontalDistance() const { return mTargetHorizontalDistance; }
    float getTargetDetectTime() const { return mTargetDetectTime; }
    float getTargetReleaseTime() const { return mTargetReleaseTime; }
    // True when the entity passes the type and name filters and is neither the owner nor the
    // owner's own owner.
    bool matchesTargetFilters(const Entity* entity) const;

protected:
    // Keeps, drops or acquires the target within the range (see the source), then refreshes the
    // target geometry.
    void updateTarget(float elapsed, float range);
    // The nearest candidate that passes the filters, lives, lies within the range and in view and
    // can be seen; 0 when none. Of equally near candidates the first found wins.
    uint32_t findTarget(float range);
    // The visibility code of one entity as a target: 0 when dead, out of range or out of view.
    int checkTarget(Entity* target, float range);
    void updateTargetInfo();
    // Takes a strictly nearer visible candidate within the range at once, while a target is held.
    void switchToCloserTarget(float range);
    // Forgets the held target (id, visibility, timer); the geometry stays.
    void dropTarget();

    EntityManager* mManager;
    Entity* mOwner;
    bool mLoaded = false;
    float mTargetDetectTime = 0.0f;
    float mTargetReleaseTime = 0.0f;
    std::vector<std::string> mTargetTypes;
    std::vector<std::string> mTargetNames;
    float mThinkAccumulator = 0.0f;
    uint32_t mTargetId = 0;
    // While no target is held, how long some candidate has been seen without a break; while one
    // is held, how long it has been out of sight.
    float mTargetTimer = 0.0f;
    Ogre::Vector2 mTargetDirection = Ogre::Vector2::ZERO;
    float mTargetDistance = 0.0f;
    float mTargetHorizontalDistance = 0.0f;
    int mTargetVisibility = VISIBILITY_NONE;
    Ogre::Vector2 mMoveDirection = Ogre::Vector2::ZERO;
    Ogre::Vector2 mAimDirection = Ogre::Vector2::UNIT_X;
    bool mFiring = false;
    bool mSecondaryAction = false;

private:
    bool isOwnerOrSelf(const Entity* entity) const;

    // Candidates of the last search, kept so that thinking does not allocate.
    std::vector<Entity*> mCandidates;
};
} // namespace game
