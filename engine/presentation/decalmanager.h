#pragma once
#include <OgreManualObject.h>
#include <OgreMesh.h>
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace Ogre
{
class SceneManager;
} // namespace Ogre

namespace brix
{
// Marks stuck onto level surfaces (bullet holes, scorch, blood), drawn through one manual object
// "decals" with one section per material. Kinds come from "decals.xml" in the working folder; a
// kind's geometry is a textured quad or a copy of a small mesh. Placing a decal only marks its
// section; update rebuilds marked sections at most once per MIN_REBUILD_INTERVAL. The number of
// live decals is capped: the oldest goes first. Main thread only.
class DecalManager
{
public:
    // Seconds between two rebuilds of the geometry at the least.
    static constexpr float MIN_REBUILD_INTERVAL = 0.2f;
    static const uint32_t DEFAULT_MAXIMUM_DECAL_COUNT = 100;

    // Creates the manual object "decals" on the root scene node. The vector is not used.
    DecalManager(Ogre::SceneManager* sceneManager, const Ogre::Vector3& unused);
    ~DecalManager();
    // The decals point into this manager's definitions, and the manual object is its own.
    DecalManager(const DecalManager&) = delete;
    DecalManager& operator=(const DecalManager&) = delete;

    // Loads "decals.xml". Throws Ogre::FileNotFoundException when it or a mesh it names cannot
    // be read, and Ogre::InvalidParametersException for a kind without geometry.
    void initialize();
    // Places a decal of that kind, scaled by its kind's random scale. Within the kind's spacing of
    // one of the same kind, the older one counts as new instead. An unknown kind is logged and
    // skipped, so a fault in game data never ends the game.
    void createDecal(const std::string& name, const Ogre::Vector3& position,
                     const Ogre::Quaternion& orientation);
    // Once per frame with the frame time.
    void update(float seconds);
    // Removes every decal and clears the geometry at once.
    void destroyAllDecals();
    // Drops the oldest decals beyond the new maximum; 0 turns decals off.
    void setMaximumDecalCount(uint32_t count);
    uint32_t getMaximumDecalCount() const { return mMaximumDecalCount; }
    uint32_t getDecalCount() const { return mDecalCount; }

    struct TDecalSource
    {
        // Null for a quad.
        Ogre::MeshPtr mesh;
        std::string material;
        // Width and height of a quad.
        Ogre::Vector2 size;
        // Texture coordinates of a quad's top-left and bottom-right corners.
        Ogre::Vector2 uv1;
        Ogre::Vector2 uv2;
    };

    struct TDecalDefinition
    {
        uint32_t id;
        std::string name;
        // Meshes first, then quads, each in file order.
        std::vector<TDecalSource> sources;
        // No two decals of this kind closer than this; 0 or less allows any.
        float spacing;
        // A decal's scale is 1 + r x randomScale, r in (-1, 1).
        float randomScale;
    };

    struct TDecalInstance
    {
        const TDecalDefinition* definition;
        Ogre::Vector3 position;
        Ogre::Quaternion orientation;
        float scale;
        uint32_t sourceIndex;
    };

    struct TDecalSection
    {
        // Null until the section was first built with geometry.
        Ogre::ManualObject::ManualObjectSection* section;
        uint32_t sectionIndex;
        std::string material;
        bool dirty;
    };

private:
    const TDecalDefinition* getDefinition(const std::string& name) const;
    const TDecalDefinition* getDefinition(uint32_t id) const;
    bool testDecalOverlap(const TDecalDefinition* definition, const Ogre::Vector3& position);
    void addSection(const std::string& material);
    void updateSection(const TDecalInstance& decal);
    void rebuildGeometry();
    void addGeometry(Ogre::ManualObject* object, const TDecalSource* source, const Ogre::Vector3& position,
                     const Ogre::Quaternion& orientation, float scale);
    void loadDecalDefinitions();
    void unloadDecalDefinitions();
    void removeOldestDecal();

    Ogre::SceneManager* mSceneManager;
    std::vector<TDecalDefinition> mDefinitions;
    // Newest first.
    std::list<TDecalInstance> mDecals;
    uint32_t mDecalCount;
    uint32_t mMaximumDecalCount;
    Ogre::ManualObject* mObject;
    std::vector<TDecalSection> mSections;
    bool mDirty;
    float mTimeSinceRebuild;
};
} // namespace brix
