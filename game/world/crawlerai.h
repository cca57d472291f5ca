#pragma once
#include "game/world/ai.h"

#include <OgreVector.h>

#include <vector>

namespace brix
{
struct TTraceContact;
}

namespace game
{
class Crawler;

// The crawler's brain. It patrols: walks along its floor until a wall, another entity or a drop
// lies ahead, turns around and pauses for "stuntime"; it turns toward whoever shot it; and it
// fires (blows the crawler up) as soon as any target is within "targetrange", seen through
// walls and in every direction. It never holds a target.
class CrawlerAI : public AI
{
public:
    // The way ahead is swept this far along the floor from a point this high above the crawler.
    static constexpr float LOOK_AHEAD = 0.6f;
    static constexpr float LIFT = 0.1f;
    // A floor must lie within this depth below the point ahead.
    static constexpr float STEP_DOWN = 0.8f;
    static constexpr float FLOOR_NORMAL_Y = 0.5f;

    CrawlerAI(EntityManager* manager, Crawler* owner);
    ~CrawlerAI() override;

    bool load(const brix::XMLElement* definition) override;
    void copyParameters(const AI& other) override;
    void reset() override;
    bool isTargetInView(const Ogre::Vector3& offset) const override { return true; }
    int checkVisibility(Entity* target) override { return 2; }
    void think(float elapsed) override;

    // A hit travelling in that direction: the crawler faces where it came from at its next think.
    void onHit(const Ogre::Vector3& direction);
    // True when touching the other entity sets the crawler off; level geometry never does.
    bool onContact(const Ogre::Vector3& normal, Entity* other);
    // True when the crawler can walk on toward the side of the direction's sign: no wall or
    // entity in the way and a floor ahead. Always true without a body or off the ground.
    bool canWalk(float direction);

    float getStunTimer() const { return mStunTimer; }
    float getTargetRange() const { return mTargetRange; }

private:
    Crawler* mCrawler;
    float mTargetRange = 0.0f;
    float mStunTime = 0.0f;
    float mStunTimer = 0.0f;
    float mHitFacing = 0.0f;
    // Reused by the way-ahead sweep so that thinking allocates nothing.
    std::vector<brix::TTraceContact> mHits;
};
} // namespace game
