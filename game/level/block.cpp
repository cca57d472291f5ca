#include "game/level/block.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreHardwareBuffer.h>
#include <OgreMeshManager.h>
#include <OgreStringConverter.h>

namespace game
{
const char* const Block::MESH_GROUP = "default";

Block::Block(Level* level) : mLevel(level) {}

Block::~Block() = default;

void Block::load(const brix::XMLElement& element)
{
    mName = element.getValue("name", "");
    if (mName.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Attempt to load an block without name",
                    "Block::load");
    mCategory = element.getValue("category", "");
    if (mCategory.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Attempt to load an block without category",
                    "Block::load");
    mBodyTemplateName = element.getValue("body", "");
    if (!mBodyTemplateName.empty() && !mLevel->getSimulator()->hasTemplate(mBodyTemplateName))
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND,
                    "Reference to non-existing body template'" + mBodyTemplateName + "'", "Block::load");
    // The decal manager reads the mesh data back, so the buffers keep system-memory copies.
    mMesh = Ogre::MeshManager::getSingleton().load(element.getValue("mesh", ""), MESH_GROUP,
                                                   Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY,
                                                   Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true, true);
    if (!Ogre::StringConverter::parse(element.getValue("gridsnapoffset", ""), mGridSnapOffset))
        mGridSnapOffset = Ogre::Vector3::ZERO;
    if (!Ogre::StringConverter::parse(element.getValue("scale", ""), mScale) || mScale == Ogre::Vector3::ZERO)
        mScale = Ogre::Vector3::UNIT_SCALE;
}

Ogre::MeshPtr Block::getMesh() const
{
    return mMesh;
}
} // namespace game
