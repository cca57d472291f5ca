#include "engine/presentation/textlabel.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include <algorithm>

namespace brix
{
namespace
{
// The sub-text's height and how far below the position its centre lies, in text sizes.
const float SUB_TEXT_SIZE = 0.5f;
const float SUB_TEXT_DROP = 0.85f;
} // namespace

TextLabel::TextLabel(LabelManager* manager)
    : Label(manager), mTextSize(0.05f), mColour(Ogre::ColourValue::White), mDuration(0),
      mVelocity(Ogre::Vector3::ZERO), mFadeRate(0), mAnimationDelay(0), mAge(0)
{
}

TextLabel::~TextLabel() {}

void TextLabel::setText(const std::string& text)
{
    mText = text;
    mDirtyLayers |= mLayerFlags;
}

void TextLabel::setSubText(const std::string& text)
{
    mSubText = text;
    mDirtyLayers |= mLayerFlags;
}

void TextLabel::setTextSize(float size)
{
    mTextSize = size;
    mDirtyLayers |= mLayerFlags;
}

void TextLabel::setColor(const Ogre::ColourValue& colour)
{
    mColour = colour;
    mDirtyLayers |= mLayerFlags;
}

void TextLabel::setAnimation(const Ogre::Vector3& velocity, float fadeRate, float delay)
{
    mVelocity = velocity;
    mFadeRate = fadeRate;
    mAnimationDelay = delay;
}

unsigned int TextLabel::update(float seconds)
{
    if (mDuration > 0)
    {
        mAge += seconds;
        if (mAge > mDuration)
        {
            mExpired = true;
            mAge = mDuration;
        }
        else if (mAge > mAnimationDelay)
            mDirtyLayers |= mLayerFlags;
    }
    return mDirtyLayers;
}

void TextLabel::rebuild(OgreObjectBuilder& builder)
{
    Ogre::Vector3 position = mPosition;
    Ogre::ColourValue colour = mColour;
    if (mDuration > 0 && mAge > mAnimationDelay)
    {
        const float t = mAge - mAnimationDelay;
        position += mVelocity * t;
        // A fade that overshoots (or a negative rate) must not wrap the vertex alpha round to
        // opaque or beyond.
        colour.a = std::min(1.0f, std::max(0.0f, colour.a * (1 - mFadeRate * t)));
    }
    if (!mText.empty())
        builder.addText(position, mText, mTextSize, colour, OgreObjectBuilder::ALIGN_MIDDLE,
                        OgreObjectBuilder::ALIGN_MIDDLE, 0);
    if (!mSubText.empty())
        builder.addText(position + Ogre::Vector3(0, -SUB_TEXT_DROP * mTextSize, 0), mSubText,
                        SUB_TEXT_SIZE * mTextSize, colour, OgreObjectBuilder::ALIGN_MIDDLE,
                        OgreObjectBuilder::ALIGN_MIDDLE, 0);
    mDirtyLayers = 0;
}
} // namespace brix
