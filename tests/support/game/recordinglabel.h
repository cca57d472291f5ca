#pragma once
#include "engine/presentation/labelfactory.h"
#include "engine/presentation/labelmanager.h"
#include "game/world/worldlabel.h"

#include <OgreAxisAlignedBox.h>
#include <OgreVector.h>

#include <string>

namespace test
{
// A world label that draws nothing and keeps what the world tells it, so tests can read what
// a player would see over an object.
class RecordingLabel : public game::WorldLabel
{
public:
    using game::WorldLabel::WorldLabel;
    void rebuild(brix::OgreObjectBuilder&) override {}
    const Ogre::Vector3& getPosition() const { return mPosition; }
    void setBoundingBox(const Ogre::AxisAlignedBox& box) override { this->box = box; }
    void setPlacement(int placement) override { this->placement = placement; }
    void setSpeech(const std::string& text, float seconds) override { speech = text; }
    void setAimLine(const Ogre::Vector2& start, const Ogre::Vector2& end) override
    {
        aimStart = start;
        aimEnd = end;
    }
    void setAimMarker(const Ogre::Vector2& offset) override { aimMarker = offset; }

    Ogre::AxisAlignedBox box;
    int placement = -1;
    std::string speech;
    Ogre::Vector2 aimStart = Ogre::Vector2::ZERO;
    Ogre::Vector2 aimEnd = Ogre::Vector2::ZERO;
    Ogre::Vector2 aimMarker = Ogre::Vector2::ZERO;
};

class RecordingLabelFactory : public brix::LabelFactory
{
public:
    explicit RecordingLabelFactory(const std::string& type) : mType(type) {}
    std::string getType() override { return mType; }
    brix::Label* createLabel(brix::LabelManager* manager) override { return new RecordingLabel(manager); }

    // Both types the world adds: "interaction" and "character".
    static void registerWorldTypes(brix::LabelManager& labels)
    {
        labels.registerLabelType(new RecordingLabelFactory("interaction"));
        labels.registerLabelType(new RecordingLabelFactory("character"));
    }

private:
    std::string mType;
};
} // namespace test
