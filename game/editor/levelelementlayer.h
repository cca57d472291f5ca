#pragma once
#include "game/editor/editable.h"

#include <OgreAxisAlignedBox.h>
#include <OgreQuaternion.h>
#include <OgreRay.h>
#include <OgreVector.h>

#include <memory>
#include <vector>

namespace Ogre
{
class MovableObject;
class SceneNode;
} // namespace Ogre

namespace game
{
class LevelElement;
class LevelElementPosition;
class LevelElementType;

// The elements of a level (or of the type palette) under one scene node, in creation order,
// with the snap grid their positions use. Selection and transforms applied to the layer reach
// the selected positions. It owns its elements; an element flagged as preview may use the
// layer's node and grid but is never listed, collected or picked.
class LevelElementLayer : public Editable
{
public:
    // The snap grid of a new layer.
    static constexpr float DEFAULT_SNAP = 0.5f;

    explicit LevelElementLayer(Ogre::SceneNode* parent);
    ~LevelElementLayer() override;
    LevelElementLayer(const LevelElementLayer&) = delete;
    LevelElementLayer& operator=(const LevelElementLayer&) = delete;

    void setSelected(bool selected) override;
    bool isSelected() const override;
    void beginTransform() override;
    // A translation is cut short where a selected position would leave the level world, so
    // the selection keeps its shape at the world's edge.
    void transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation) override;
    void endTransform(bool commit) override;
    // Deletes the selected elements left without positions; true when the layer is empty.
    bool removeSelected() override;

    // A new element of the type with one position there (unsnapped), appended.
    LevelElement* createElement(const LevelElementType* type, const Ogre::Vector3& position,
                                const Ogre::Quaternion& orientation);
    // Deletes every listed element.
    void clear();
    void setVisible(bool visible);
    void updateDisplay();

    // Each appends to the caller's vector, in layer order.
    void collectElements(std::vector<LevelElement*>& elements) const;
    void collectSelectedElements(std::vector<LevelElement*>& elements) const;
    void collectPositions(std::vector<LevelElementPosition*>& positions) const;
    void collectSelectedPositions(std::vector<LevelElementPosition*>& positions) const;
    unsigned getElementCount() const { return static_cast<unsigned>(mElements.size()); }

    // The positions of this layer whose meshes the ray or the box meets, in the scene query's
    // order.
    void pickRay(const Ogre::Ray& ray, std::vector<LevelElementPosition*>& hits) const;
    void pickBox(const Ogre::AxisAlignedBox& box, std::vector<LevelElementPosition*>& hits) const;
    // The listed position nearest the point closer than maximum, which is lowered to its
    // distance; null when none is that close.
    LevelElementPosition* findNearestPosition(const Ogre::Vector3& point, float& maximum) const;

    void setSnapGrid(const Ogre::Vector3& grid) { mSnapGrid = grid; }
    const Ogre::Vector3& getSnapGrid() const { return mSnapGrid; }
    Ogre::SceneNode* getSceneNode() const { return mNode; }

private:
    // The position an object of a query result shows, when it is one of this layer's listed ones.
    LevelElementPosition* findPosition(Ogre::MovableObject* object) const;

    Ogre::SceneNode* mNode;
    std::vector<std::unique_ptr<LevelElement>> mElements;
    Ogre::Vector3 mSnapGrid = Ogre::Vector3(DEFAULT_SNAP);
};
} // namespace game
