#pragma once
#include <OgreMesh.h>
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <string>
#include <vector>

namespace game
{
class Block;
class Entity;

// Something that can be placed in a level: a block of the catalogue, an entity prototype or a
// special marker (a start, an exit, a trigger...). The type decides how its elements snap and
// turn, how many positions they may have and which initial states they offer. Level points
// refer to types by name. Neither the prototype nor the block is owned.
class LevelElementType
{
public:
    // The kinds, equal to the type codes of level points.
    enum Kind
    {
        KIND_BLOCK = 1,
        KIND_ENTITY = 2,
        KIND_SPECIAL = 3
    };

    // Multi-position prototypes (moving platforms) take up to this many positions.
    static constexpr unsigned MAX_POSITIONS = 16;
    // The category every marker is shown under.
    static const char* const SPECIAL_CATEGORY;

    // Each throws Ogre::ItemIdentityException when the mesh is empty.
    explicit LevelElementType(const Entity* prototype);
    explicit LevelElementType(const Block* block);
    LevelElementType(const std::string& name, const Ogre::MeshPtr& mesh);
    virtual ~LevelElementType();
    LevelElementType(const LevelElementType&) = delete;
    LevelElementType& operator=(const LevelElementType&) = delete;

    const std::string& getName() const { return mName; }
    int getKind() const { return mKind; }
    const Ogre::MeshPtr& getMesh() const { return mMesh; }
    const std::string& getCategory() const;
    Ogre::Vector3 getScale() const;
    // Blocks, markers and prototypes with the "static" attribute.
    bool isStatic() const;
    float getDefaultDepth() const;
    // The least step of the arrow keys: a whole unit for blocks.
    float getMinimumStep() const;
    unsigned getMaxPositions() const;
    Ogre::Quaternion constrainOrientation(const Ogre::Quaternion& orientation) const;
    // Identity, turned about x, y and z by random angles where the prototype asks for it.
    Ogre::Quaternion getRandomOrientation() const;
    // The skin of a human prototype; empty for everything else.
    std::string getSkinName() const;

    unsigned getStateCount() const { return static_cast<unsigned>(mStates.size()); }
    // Empty for an index out of range.
    std::string getStateName(unsigned index) const;
    // 0 for a name the type does not offer.
    unsigned getStateIndex(const std::string& name) const;

    // The position snapped to the grid (axes with a grid of 0 are kept), the offset of the
    // prototype or block turned by the orientation, and kept inside the level world. Blocks
    // snap to whole units and lie at z 0 whatever the grid.
    Ogre::Vector3 snapPosition(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                               const Ogre::Vector3& grid) const;

private:
    void requireMesh() const;
    bool hasFlag(unsigned flag) const;

    std::string mName;
    int mKind;
    const Entity* mPrototype = nullptr;
    const Block* mBlock = nullptr;
    Ogre::MeshPtr mMesh;
    std::vector<std::string> mStates;
};
} // namespace game
