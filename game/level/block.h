#pragma once
#include <OgreSharedPtr.h>
#include <OgreVector.h>

#include <string>

namespace brix
{
class XMLElement;
}

namespace game
{
class Level;

// One entry of the block catalogue "blocks.xml": a render mesh, an optional physics body
// template, the editor's palette category, a grid-snap offset and a scale. Blocks are read
// once at set-up by their level, which owns them; level points name them.
class Block
{
public:
    // The resource group the block meshes load from.
    static const char* const MESH_GROUP;

    explicit Block(Level* level);
    virtual ~Block();
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    // Reads one "block" element. Throws Ogre::ItemIdentityException for a block without name
    // or category, or naming a body template the level's simulator lacks; OGRE throws when
    // the mesh cannot be loaded.
    virtual void load(const brix::XMLElement& element);
    virtual const std::string& getName() const { return mName; }
    virtual const std::string& getCategory() const { return mCategory; }
    // Never empty for a loaded block.
    virtual Ogre::MeshPtr getMesh() const;
    // Empty when the block has no physics.
    virtual const std::string& getBodyTemplateName() const { return mBodyTemplateName; }
    virtual const Ogre::Vector3& getGridSnapOffset() const { return mGridSnapOffset; }
    virtual const Ogre::Vector3& getScale() const { return mScale; }

private:
    Level* mLevel;
    std::string mName;
    std::string mCategory;
    Ogre::MeshPtr mMesh;
    std::string mBodyTemplateName;
    Ogre::Vector3 mGridSnapOffset = Ogre::Vector3::ZERO;
    Ogre::Vector3 mScale = Ogre::Vector3::UNIT_SCALE;
};
} // namespace game
