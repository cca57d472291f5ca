#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementposition.h"
#include "game/level/levelpoint.h"

#include <OgreEntity.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSceneQuery.h>

#include <algorithm>

namespace game
{
namespace
{
// Every query flag: editor picking sees every object of the scene and keeps its own.
const Ogre::uint32 ALL_QUERY_FLAGS = 0xFFFFFFFF;
} // namespace

LevelElementLayer::LevelElementLayer(Ogre::SceneNode* parent) : mNode(parent->createChildSceneNode()) {}

LevelElementLayer::~LevelElementLayer()
{
    mElements.clear();
    mNode->getCreator()->destroySceneNode(mNode);
}

void LevelElementLayer::setSelected(bool selected)
{
    for (auto& element : mElements)
        element->setSelected(selected);
}

bool LevelElementLayer::isSelected() const
{
    for (const auto& element : mElements)
        if (element->isSelected())
            return true;
    return false;
}

void LevelElementLayer::beginTransform()
{
    for (auto& element : mElements)
        if (element->isSelected())
            element->beginTransform();
}

void LevelElementLayer::transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation)
{
    // The selection moves as one, no farther than its first position reaches the world's edge.
    Ogre::Vector3 limited = translation;
    std::vector<LevelElementPosition*> moved;
    if (translation != Ogre::Vector3::ZERO)
        collectSelectedPositions(moved);
    for (const LevelElementPosition* position : moved)
        for (int axis = 0; axis < 3; ++axis)
        {
            const float extent = LevelPoint::WORLD_EXTENT[axis], from = position->getTransformStart()[axis];
            limited[axis] = std::max(-extent - from, std::min(extent - from, limited[axis]));
        }
    for (auto& element : mElements)
        if (element->isSelected())
            element->transform(limited, rotation);
}

void LevelElementLayer::endTransform(bool commit)
{
    for (auto& element : mElements)
        if (element->isSelected())
            element->endTransform(commit);
}

bool LevelElementLayer::removeSelected()
{
    std::vector<std::unique_ptr<LevelElement>> kept;
    for (auto& element : mElements)
        if (!(element->isSelected() && element->removeSelected()))
            kept.push_back(std::move(element));
    mElements = std::move(kept);
    return mElements.empty();
}

LevelElement* LevelElementLayer::createElement(const LevelElementType* type, const Ogre::Vector3& position,
                                               const Ogre::Quaternion& orientation)
{
    mElements.push_back(std::make_unique<LevelElement>(this, type));
    LevelElement* element = mElements.back().get();
    element->reset(type, position, orientation);
    return element;
}

void LevelElementLayer::clear()
{
    mElements.clear();
}

void LevelElementLayer::setVisible(bool visible)
{
    for (auto& element : mElements)
        element->setVisible(visible);
}

void LevelElementLayer::updateDisplay()
{
    for (auto& element : mElements)
        element->updateDisplay();
}

void LevelElementLayer::collectElements(std::vector<LevelElement*>& elements) const
{
    for (const auto& element : mElements)
        elements.push_back(element.get());
}

void LevelElementLayer::collectSelectedElements(std::vector<LevelElement*>& elements) const
{
    for (const auto& element : mElements)
        if (element->isSelected())
            elements.push_back(element.get());
}

void LevelElementLayer::collectPositions(std::vector<LevelElementPosition*>& positions) const
{
    for (const auto& element : mElements)
        for (unsigned i = 0; i < element->getPositionCount(); ++i)
            positions.push_back(element->getPosition(i));
}

void LevelElementLayer::collectSelectedPositions(std::vector<LevelElementPosition*>& positions) const
{
    for (const auto& element : mElements)
        for (unsigned i = 0; i < element->getPositionCount(); ++i)
            if (element->getPosition(i)->isSelected())
                positions.push_back(element->getPosition(i));
}

LevelElementPosition* LevelElementLayer::findPosition(Ogre::MovableObject* object) const
{
    const Ogre::Any& binding = object->getUserObjectBindings().getUserAny();
    if (!binding.has_value() || binding.type() != typeid(LevelElementPosition*))
        return nullptr;
    LevelElementPosition* position = Ogre::any_cast<LevelElementPosition*>(binding);
    const LevelElement* element = position->getElement();
    return element->getLayer() == this && !element->isPreview() ? position : nullptr;
}

void LevelElementLayer::pickRay(const Ogre::Ray& ray, std::vector<LevelElementPosition*>& hits) const
{
    Ogre::SceneManager* scene = mNode->getCreator();
    // Without rendering nothing else brings the world bounds up to date.
    scene->getRootSceneNode()->_update(true, false);
    Ogre::RaySceneQuery* query = scene->createRayQuery(ray, ALL_QUERY_FLAGS);
    for (const Ogre::RaySceneQueryResultEntry& entry : query->execute())
        if (LevelElementPosition* position = entry.movable ? findPosition(entry.movable) : nullptr)
            hits.push_back(position);
    scene->destroyQuery(query);
}

void LevelElementLayer::pickBox(const Ogre::AxisAlignedBox& box,
                                std::vector<LevelElementPosition*>& hits) const
{
    Ogre::SceneManager* scene = mNode->getCreator();
    scene->getRootSceneNode()->_update(true, false);
    Ogre::AxisAlignedBoxSceneQuery* query = scene->createAABBQuery(box, ALL_QUERY_FLAGS);
    for (Ogre::MovableObject* object : query->execute().movables)
        if (LevelElementPosition* position = findPosition(object))
            hits.push_back(position);
    scene->destroyQuery(query);
}

LevelElementPosition* LevelElementLayer::findNearestPosition(const Ogre::Vector3& point, float& maximum) const
{
    LevelElementPosition* nearest = nullptr;
    for (const auto& element : mElements)
        if (LevelElementPosition* found = element->findNearestPosition(point, maximum))
            nearest = found;
    return nearest;
}
} // namespace game
