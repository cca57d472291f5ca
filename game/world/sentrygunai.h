#pragma once
#include "game/world/ai.h"

namespace game
{
// The target finder of a sentry gun. The gun never turns: it sees only to the side it faces
// (its aim stays (1, 0) or (-1, 0) and it never moves), within "targetrange" and within a band
// of half-height "targetwidth" around its own height. The gun reads only whether a target is
// held; the firing output says whether that target was seen at the last think.
class SentryGunAI : public AI
{
public:
    enum Mode
    {
        SEARCHING = 0,
        TRACKING = 1
    };

    SentryGunAI(EntityManager* manager, Entity* owner);

    bool load(const brix::XMLElement* definition) override;
    void copyParameters(const AI& other) override;
    void reset() override;
    bool isTargetInView(const Ogre::Vector3& offset) const override;
    int checkVisibility(Entity* target) override;
    void think(float elapsed) override;

    bool hasTarget() const { return mTargetId != 0; }
    int getMode() const { return mMode; }
    float getTargetRange() const { return mTargetRange; }
    float getTargetWidth() const { return mTargetWidth; }

private:
    float mTargetRange = 0.0f;
    float mTargetWidth = 0.0f;
    int mMode = SEARCHING;
};
} // namespace game
