#pragma once
#include "game/world/shadow.h"

namespace game
{
// A blob shadow its owner places (humans and crawlers): it is redrawn only when its
// placement or opacity changes.
class ManualShadow : public Shadow
{
public:
    explicit ManualShadow(ShadowManager* manager);
    ~ManualShadow() override;

    void addGeometry(Ogre::ManualObject* object) override;

    // Where the blob lies: its centre, the surface normal there and its half side.
    void setPlacement(const Ogre::Vector3& position, const Ogre::Vector3& normal, float size);
    // Opacity, 0 to 1.
    void setAlpha(float alpha);

private:
    float mSize = 1.0f;
    float mAlpha = 1.0f;
};
} // namespace game
