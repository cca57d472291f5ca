#pragma once
#include "game/editor/editable.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <memory>
#include <string>
#include <vector>

namespace game
{
class LevelElementLayer;
class LevelElementPosition;
class LevelElementType;

// One placed thing of a level, an instance of an element type: one point of the level file.
// It holds its positions (main position first, then waypoints, each linked to the one before),
// an orientation shared by all of them, an initial state and the point's free value text.
// Created and deleted by its layer; it owns its positions.
class LevelElement : public Editable
{
public:
    LevelElement(LevelElementLayer* layer, const LevelElementType* type);
    ~LevelElement() override;
    LevelElement(const LevelElement&) = delete;
    LevelElement& operator=(const LevelElement&) = delete;

    void setSelected(bool selected) override;
    bool isSelected() const override;
    void beginTransform() override;
    // Turns the element about its own positions and moves its selected positions.
    void transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation) override;
    void endTransform(bool commit) override;
    // Deletes the selected positions and links the rest again; true when none is left.
    bool removeSelected() override;

    // Starts over as a new element of the type with one position, unsnapped, and state 0.
    void reset(const LevelElementType* type, const Ogre::Vector3& position,
               const Ogre::Quaternion& orientation);
    // A new last position, unsnapped, linked to the one before.
    LevelElementPosition* addPosition(const Ogre::Vector3& position);

    LevelElementLayer* getLayer() const { return mLayer; }
    const LevelElementType* getType() const { return mType; }
    // With constrain, the type's limits on turning apply first.
    void setOrientation(const Ogre::Quaternion& orientation, bool constrain);
    const Ogre::Quaternion& getOrientation() const { return mOrientation; }
    unsigned getPositionCount() const { return static_cast<unsigned>(mPositions.size()); }
    LevelElementPosition* getPosition(unsigned index) const { return mPositions[index].get(); }

    // An index the type does not offer becomes 0.
    void setStateIndex(unsigned index);
    unsigned getStateIndex() const { return mStateIndex; }
    // The type's index of the name, 0 for an unknown one.
    void setState(const std::string& name);
    // Empty when the type has no states.
    std::string getState() const;
    void setValue(const std::string& value) { mValue = value; }
    const std::string& getValue() const { return mValue; }
    void setDisplayScale(float scale) { mDisplayScale = scale; }
    float getDisplayScale() const { return mDisplayScale; }
    // The editor's placement preview: never listed, stored, picked or selected.
    void setPreview(bool preview) { mPreview = preview; }
    bool isPreview() const { return mPreview; }

    void setVisible(bool visible);
    void updateDisplay();
    // The position nearest the point closer than maximum, which is lowered to its distance;
    // null when none is that close.
    LevelElementPosition* findNearestPosition(const Ogre::Vector3& point, float& maximum) const;

private:
    LevelElementLayer* mLayer;
    const LevelElementType* mType;
    std::vector<std::unique_ptr<LevelElementPosition>> mPositions;
    Ogre::Quaternion mOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Quaternion mRememberedOrientation = Ogre::Quaternion::IDENTITY;
    float mDisplayScale = 1.0f;
    bool mPreview = false;
    unsigned mStateIndex = 0;
    std::string mValue;
};
} // namespace game
