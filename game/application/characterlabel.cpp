#include "game/application/characterlabel.h"

#include "engine/presentation/ogreobjectbuilder.h"

namespace game
{
namespace
{
const Ogre::ColourValue BUBBLE_COLOUR(1.0f, 1.0f, 1.0f, 0.2f);
const Ogre::ColourValue TEXT_COLOUR(1.0f, 1.0f, 1.0f, 0.65f);
const Ogre::ColourValue MARKER_COLOUR(1.0f, 1.0f, 1.0f, 0.2f);
const Ogre::ColourValue AIM_LINE_START_COLOUR(1.0f, 1.0f, 1.0f, 0.2f);
const Ogre::ColourValue AIM_LINE_END_COLOUR(1.0f, 1.0f, 1.0f, 0.01f);
// The bubble's pointer: its size, its offset from the centre and the outline width.
const float BUBBLE_POINTER_SIZE = 0.15f;
const float BUBBLE_POINTER_OFFSET = 0.0f;
const float BUBBLE_LINE_WIDTH = 0.05f;

Ogre::Vector3 inPlane(const Ogre::Vector2& offset)
{
    return Ogre::Vector3(offset.x, offset.y, 0.0f);
}
} // namespace

CharacterLabel::CharacterLabel(brix::LabelManager* manager) : WorldLabel(manager) {}

CharacterLabel::~CharacterLabel() {}

void CharacterLabel::setSpeech(const std::string& text, float seconds)
{
    if (text == mSpeech && seconds <= mSpeechTime)
        return;
    mSpeech = text;
    mSpeechTime = seconds;
    markDirty();
}

void CharacterLabel::setAimLine(const Ogre::Vector2& start, const Ogre::Vector2& end)
{
    if (start == mAimLineStart && end == mAimLineEnd)
        return;
    mAimLineStart = start;
    mAimLineEnd = end;
    markDirty();
}

void CharacterLabel::setAimMarker(const Ogre::Vector2& offset)
{
    if (offset == mAimMarker)
        return;
    mAimMarker = offset;
    markDirty();
}

unsigned int CharacterLabel::update(float seconds)
{
    if (mSpeechTime > 0.0f)
    {
        mSpeechTime -= seconds;
        if (mSpeechTime <= 0.0f)
        {
            mSpeechTime = 0.0f;
            markDirty();
        }
    }
    return WorldLabel::update(seconds);
}

void CharacterLabel::rebuild(brix::OgreObjectBuilder& builder)
{
    const Ogre::Vector3 centre = mPosition + Ogre::Vector3(0.0f, TEXT_HEIGHT, 0.0f);
    if (mSpeechTime > 0.0f)
    {
        const Ogre::Vector2 size = builder.calculateTextSize(mSpeech, TEXT_SIZE);
        const Ogre::Vector3 half(0.5f * size.x + BUBBLE_MARGIN, 0.5f * size.y + BUBBLE_MARGIN, 0.0f);
        builder.addSpeechBubble(centre - half, centre + half, BUBBLE_POINTER_SIZE, BUBBLE_POINTER_OFFSET,
                                BUBBLE_LINE_WIDTH, BUBBLE_COLOUR);
        builder.addText(centre, mSpeech, TEXT_SIZE, TEXT_COLOUR, brix::OgreObjectBuilder::ALIGN_MIDDLE,
                        brix::OgreObjectBuilder::ALIGN_MIDDLE, 0.0f);
    }
    else if (!mText.empty())
        builder.addText(centre, mText, TEXT_SIZE, TEXT_COLOUR, brix::OgreObjectBuilder::ALIGN_MIDDLE,
                        brix::OgreObjectBuilder::ALIGN_MIDDLE, 0.0f);

    if (mAimMarker != Ogre::Vector2::ZERO)
    {
        const Ogre::Vector3 marker = mPosition + inPlane(mAimMarker);
        const Ogre::Vector3 corner(MARKER_SIZE, MARKER_SIZE, 0.0f);
        builder.addRectangleOutline(marker - corner, marker + corner, LINE_WIDTH, MARKER_COLOUR);
    }
    if (mAimLineStart != mAimLineEnd)
        builder.addLine(mPosition + inPlane(mAimLineStart), mPosition + inPlane(mAimLineEnd), LINE_WIDTH,
                        LINE_WIDTH, AIM_LINE_START_COLOUR, AIM_LINE_END_COLOUR);
    mDirtyLayers = 0;
}
} // namespace game
