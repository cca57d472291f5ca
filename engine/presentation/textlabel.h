#pragma once
#include "engine/presentation/label.h"

#include <OgreColourValue.h>

#include <string>

namespace brix
{
// A line of text with an optional smaller line under it, centred on the label's position.
// With a duration it expires after that many seconds; after the animation delay it then
// moves at its velocity and fades at its fade rate (alpha lost per second).
class TextLabel : public Label
{
public:
    explicit TextLabel(LabelManager* manager);
    virtual ~TextLabel();

    // Text is UTF-8 and may come from peers.
    void setText(const std::string& text);
    void setSubText(const std::string& text);
    // Height of the main text in world units; the sub-text is half as high.
    void setTextSize(float size);
    void setColor(const Ogre::ColourValue& colour);
    // 0 never expires.
    void setDuration(float seconds) { mDuration = seconds; }
    void setAnimation(const Ogre::Vector3& velocity, float fadeRate, float delay);

    unsigned int update(float seconds) override;
    void rebuild(OgreObjectBuilder& builder) override;

private:
    std::string mText;
    std::string mSubText;
    float mTextSize;
    Ogre::ColourValue mColour;
    float mDuration;
    Ogre::Vector3 mVelocity;
    float mFadeRate;
    float mAnimationDelay;
    float mAge;
};
} // namespace brix
