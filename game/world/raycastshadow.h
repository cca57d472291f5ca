#pragma once
#include "game/world/shadow.h"

namespace brix
{
class Movable;
}

namespace game
{
// A blob shadow that finds its own spot (props): each frame it casts a ray from its origin
// along the light direction and lies where the ray meets the world, fading as the distance
// grows. Entities flagged "noshadows" catch no shadow; the ray passes its owner's own body.
class RayCastShadow : public Shadow
{
public:
    explicit RayCastShadow(ShadowManager* manager);
    ~RayCastShadow() override;

    bool update(brix::Simulator* simulator, const Ogre::Vector3& lightDirection) override;
    void addGeometry(Ogre::ManualObject* object) override;

    // Where the ray starts, the blob's radius and the movable the ray passes through (may be
    // null). Called every frame as the owner moves; the next update decides what changed.
    void setOrigin(const Ogre::Vector3& origin, float radius, brix::Movable* ignore);
    // How far the ray reaches; the blob fades out towards that distance.
    void setLength(float length);

private:
    // The blob's opacity for a ray that meets the world at the point.
    float fadeAt(const Ogre::Vector3& hitPoint) const;

    Ogre::Vector3 mOrigin = Ogre::Vector3::ZERO;
    float mRadius = 0.0f;
    brix::Movable* mIgnore = nullptr;
    Ogre::Vector3 mHitPoint = Ogre::Vector3::ZERO;
    Ogre::Vector3 mHitNormal = Ogre::Vector3::ZERO;
    float mLength = 1.0f;
    // The radius of the blob drawn; 0 when nothing is drawn.
    float mCurrentRadius = 0.0f;
    // The opacity it is drawn with.
    float mAlpha = 1.0f;
};
} // namespace game
