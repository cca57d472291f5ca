#include "game/editor/levelelementtype.h"
#include "game/level/block.h"
#include "game/level/levelpoint.h"
#include "game/world/entity.h"
#include "game/world/human.h"

#include <OgreException.h>
#include <OgreMath.h>

#include <cmath>

namespace game
{
const char* const LevelElementType::SPECIAL_CATEGORY = "special";

LevelElementType::LevelElementType(const Entity* prototype)
    : mName(prototype->getName()), mKind(KIND_ENTITY), mPrototype(prototype), mMesh(prototype->getMesh())
{
    requireMesh();
    prototype->getInitialStates(mStates);
}

LevelElementType::LevelElementType(const Block* block)
    : mName(block->getName()), mKind(KIND_BLOCK), mBlock(block), mMesh(block->getMesh())
{
    requireMesh();
}

LevelElementType::LevelElementType(const std::string& name, const Ogre::MeshPtr& mesh)
    : mName(name), mKind(KIND_SPECIAL), mMesh(mesh)
{
    requireMesh();
}

LevelElementType::~LevelElementType() {}

void LevelElementType::requireMesh() const
{
    if (!mMesh)
        throw Ogre::ItemIdentityException(Ogre::Exception::ERR_ITEM_NOT_FOUND,
                                          "Creating element type '" + mName + "' with no mesh",
                                          "LevelElementType::LevelElementType", "levelelementtype", __LINE__);
}

bool LevelElementType::hasFlag(unsigned flag) const
{
    return mPrototype && (mPrototype->getFlags() & flag) != 0;
}

const std::string& LevelElementType::getCategory() const
{
    static const std::string special(SPECIAL_CATEGORY);
    if (mBlock)
        return mBlock->getCategory();
    if (mPrototype)
        return mPrototype->getCategory();
    return special;
}

Ogre::Vector3 LevelElementType::getScale() const
{
    return mBlock ? mBlock->getScale() : Ogre::Vector3::UNIT_SCALE;
}

bool LevelElementType::isStatic() const
{
    return mKind != KIND_ENTITY || hasFlag(Entity::ATTRIBUTE_STATIC);
}

float LevelElementType::getDefaultDepth() const
{
    return mPrototype ? mPrototype->getDefaultDepth() : 0.0f;
}

float LevelElementType::getMinimumStep() const
{
    return mKind == KIND_BLOCK ? 1.0f : 0.0f;
}

unsigned LevelElementType::getMaxPositions() const
{
    return hasFlag(Entity::ATTRIBUTE_MULTIPOSITION) ? MAX_POSITIONS : 1;
}

Ogre::Quaternion LevelElementType::constrainOrientation(const Ogre::Quaternion& orientation) const
{
    if (mKind == KIND_BLOCK || hasFlag(Entity::ATTRIBUTE_EDITNOROTATE))
        return Ogre::Quaternion::IDENTITY;
    return orientation;
}

Ogre::Quaternion LevelElementType::getRandomOrientation() const
{
    Ogre::Quaternion orientation = Ogre::Quaternion::IDENTITY;
    const std::pair<unsigned, Ogre::Vector3> axes[] = {
        {Entity::ATTRIBUTE_EDITROTATERANDOMX, Ogre::Vector3::UNIT_X},
        {Entity::ATTRIBUTE_EDITROTATERANDOMY, Ogre::Vector3::UNIT_Y},
        {Entity::ATTRIBUTE_EDITROTATERANDOMZ, Ogre::Vector3::UNIT_Z}};
    for (const auto& axis : axes)
        if (hasFlag(axis.first))
        {
            float degrees = Ogre::Math::RangeRandom(0.0f, 360.0f);
            if (degrees >= 360.0f)
                degrees = 0.0f;
            orientation = Ogre::Quaternion(Ogre::Degree(degrees), axis.second) * orientation;
        }
    return orientation;
}

std::string LevelElementType::getSkinName() const
{
    if (mPrototype && mPrototype->getType() == "human")
        return static_cast<const Human*>(mPrototype)->getSkinName();
    return std::string();
}

std::string LevelElementType::getStateName(unsigned index) const
{
    return index < mStates.size() ? mStates[index] : std::string();
}

unsigned LevelElementType::getStateIndex(const std::string& name) const
{
    for (unsigned i = 0; i < mStates.size(); ++i)
        if (mStates[i] == name)
            return i;
    return 0;
}

Ogre::Vector3 LevelElementType::snapPosition(const Ogre::Vector3& position,
                                             const Ogre::Quaternion& orientation,
                                             const Ogre::Vector3& grid) const
{
    Ogre::Vector3 offset = Ogre::Vector3::ZERO;
    Ogre::Vector3 step = grid;
    if (mPrototype)
        offset = orientation * mPrototype->getGridSnapOffset();
    else if (mBlock)
    {
        offset = orientation * mBlock->getGridSnapOffset();
        step = Ogre::Vector3::UNIT_SCALE;
    }
    Ogre::Vector3 snapped = LevelPoint::clampToWorld(position);
    for (int axis = 0; axis < 3; ++axis)
        if (step[axis] > 0.0f)
        {
            snapped[axis] =
                std::floor((offset[axis] + snapped[axis]) / step[axis] + 0.5f) * step[axis] - offset[axis];
            // Rounded past the world's edge: the grid point before it.
            if (std::abs(snapped[axis]) > LevelPoint::WORLD_EXTENT[axis])
                snapped[axis] -= std::copysign(step[axis], snapped[axis]);
        }
    if (mKind == KIND_BLOCK || hasFlag(Entity::ATTRIBUTE_EDITNOMOVEZ))
        snapped.z = 0.0f;
    return snapped;
}
} // namespace game
