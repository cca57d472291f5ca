#include "game/editor/levelelement.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementtype.h"

namespace game
{
LevelElement::LevelElement(LevelElementLayer* layer, const LevelElementType* type)
    : mLayer(layer), mType(type)
{
}

LevelElement::~LevelElement() {}

void LevelElement::setSelected(bool selected)
{
    for (auto& position : mPositions)
        position->setSelected(selected);
}

bool LevelElement::isSelected() const
{
    for (const auto& position : mPositions)
        if (position->isSelected())
            return true;
    return false;
}

void LevelElement::beginTransform()
{
    mRememberedOrientation = mOrientation;
    for (auto& position : mPositions)
        if (position->isSelected())
            position->beginTransform();
}

void LevelElement::transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation)
{
    mOrientation = mType->constrainOrientation(rotation * mRememberedOrientation);
    if (translation == Ogre::Vector3::ZERO)
        return;
    for (auto& position : mPositions)
        if (position->isSelected())
            position->transform(translation, rotation);
}

void LevelElement::endTransform(bool commit)
{
    if (!commit)
        mOrientation = mRememberedOrientation;
    for (auto& position : mPositions)
        if (position->isSelected())
            position->endTransform(commit);
}

bool LevelElement::removeSelected()
{
    std::vector<std::unique_ptr<LevelElementPosition>> kept;
    for (auto& position : mPositions)
        if (!position->removeSelected())
        {
            position->setPrevious(kept.empty() ? nullptr : kept.back().get());
            kept.push_back(std::move(position));
        }
    mPositions = std::move(kept);
    return mPositions.empty();
}

void LevelElement::reset(const LevelElementType* type, const Ogre::Vector3& position,
                         const Ogre::Quaternion& orientation)
{
    mPositions.clear();
    mType = type;
    mOrientation = orientation;
    mStateIndex = 0;
    addPosition(position);
}

LevelElementPosition* LevelElement::addPosition(const Ogre::Vector3& position)
{
    auto added = std::make_unique<LevelElementPosition>(this);
    added->create(position, mType->getMesh());
    added->setPrevious(mPositions.empty() ? nullptr : mPositions.back().get());
    mPositions.push_back(std::move(added));
    return mPositions.back().get();
}

void LevelElement::setOrientation(const Ogre::Quaternion& orientation, bool constrain)
{
    mOrientation = constrain ? mType->constrainOrientation(orientation) : orientation;
}

void LevelElement::setStateIndex(unsigned index)
{
    mStateIndex = index < mType->getStateCount() ? index : 0;
}

void LevelElement::setState(const std::string& name)
{
    mStateIndex = mType->getStateIndex(name);
}

std::string LevelElement::getState() const
{
    return mType->getStateName(mStateIndex);
}

void LevelElement::setVisible(bool visible)
{
    for (auto& position : mPositions)
        position->setVisible(visible);
}

void LevelElement::updateDisplay()
{
    for (auto& position : mPositions)
        position->updateDisplay();
}

LevelElementPosition* LevelElement::findNearestPosition(const Ogre::Vector3& point, float& maximum) const
{
    LevelElementPosition* nearest = nullptr;
    for (const auto& position : mPositions)
    {
        const float distance = position->getPosition().distance(point);
        if (distance < maximum)
        {
            maximum = distance;
            nearest = position.get();
        }
    }
    return nearest;
}
} // namespace game
