#pragma once
#include "game/world/worldlabel.h"

#include <string>

namespace game
{
// The label over a character: its name, or a speech bubble with a chat line while one is
// showing, and the aim line and aim marker. Made by the label manager for the type "character".
class CharacterLabel : public WorldLabel
{
public:
    // Over the label position, where the name or the bubble is centred.
    static constexpr float TEXT_HEIGHT = 1.4f;
    static constexpr float TEXT_SIZE = 0.25f;
    // The bubble's margin around the speech text.
    static constexpr float BUBBLE_MARGIN = 0.1f;
    // Half the side of the aim marker's square.
    static constexpr float MARKER_SIZE = 0.15f;
    static constexpr float LINE_WIDTH = 0.05f;

    explicit CharacterLabel(brix::LabelManager* manager);
    ~CharacterLabel() override;

    // Speech already showing with the same text is only ever extended, never shortened.
    void setSpeech(const std::string& text, float seconds) override;
    void setAimLine(const Ogre::Vector2& start, const Ogre::Vector2& end) override;
    void setAimMarker(const Ogre::Vector2& offset) override;

    const std::string& getSpeech() const { return mSpeech; }
    // Seconds the speech still shows; 0 once the name shows again.
    float getSpeechTime() const { return mSpeechTime; }

    unsigned int update(float seconds) override;
    void rebuild(brix::OgreObjectBuilder& builder) override;

private:
    void markDirty() { mDirtyLayers |= mLayerFlags; }

    std::string mSpeech;
    float mSpeechTime = 0.0f;
    Ogre::Vector2 mAimLineStart = Ogre::Vector2::ZERO;
    Ogre::Vector2 mAimLineEnd = Ogre::Vector2::ZERO;
    Ogre::Vector2 mAimMarker = Ogre::Vector2::ZERO;
};
} // namespace game
