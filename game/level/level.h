#pragma once
#include "game/level/levelpoint.h"

#include <OgreAxisAlignedBox.h>
#include <OgreColourValue.h>
#include <OgreImage.h>
#include <OgreQuaternion.h>
#include <OgreResource.h>
#include <OgreSharedPtr.h>
#include <OgreVector.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class SceneManager;
class StaticGeometry;
} // namespace Ogre

namespace brix
{
class Body;
class DecalManager;
class Movable;
class Simulator;
struct TTraceContact;
class XMLElement;
} // namespace brix

namespace game
{
class Block;
class LevelCache;
class LevelEntityQuery;
class LevelMapGenerator;
class LevelMapSource;

// The running level: the level file's header and points, the block catalogue, the level's
// static physics body and its render geometry, the sound map, and the start and trigger
// points, the light-map texture and the queue of light-map and sound-map generators. One
// exists for the whole run; levels are loaded into it (or created empty for the
// editor), their scene built, played, torn down and cleared again. It owns its blocks and the
// level cache.
//
// Calling order: construct; initialize; then per level load, createScene, play or edit,
// destroyScene, clear. Load starts with clear, and clear with destroyScene.
//
// Everything but the render geometry and the GPU parameters works without a render system:
// a level made with no scene manager (a headless server, a tool, a test) loads fully and
// builds its physics. Main thread only.
class Level : public Ogre::ManualResourceLoader
{
public:
    // The body template, the body, the physics material and the static geometry of a level.
    static const char* const LEVEL_BODY;
    // The built-in levels' folder, the user's level folder below the user data directory and
    // the resource group that maps both.
    static const char* const LEVEL_FOLDER;
    static const char* const RESOURCE_GROUP;
    static const char* const FILE_EXTENSION;
    static const char* const SOUND_MAP_SUFFIX;
    static const char* const LIGHT_MAP_SUFFIX;
    // The texture the level material reads its light map from, in group "default".
    static const char* const LIGHT_MAP_TEXTURE;
    // Shown while a level has no light map of its own.
    static const char* const DEFAULT_LIGHT_MAP;
    // Texels along each side of a generated light map and sound map.
    static constexpr unsigned LIGHT_MAP_SIZE = 256;
    static constexpr unsigned SOUND_MAP_SIZE = 128;
    // A level file larger than this (in bytes), or with more points, is refused before anything
    // of it is used, so that no level costs more than about a second to build its scene from;
    // the same limits keep the editor and every tool from writing a level no reader takes.
    static constexpr unsigned MAX_FILE_SIZE = 2 * 1024 * 1024;
    static constexpr unsigned MAX_POINTS = 4096;
    // The editor takes titles and author names of up to this many characters. Read from a file,
    // which may come from another machine, they are cleaned (PeerText) and cut to the bytes that
    // many characters take at most; a hint's text is cleaned and bounded only by the file.
    static constexpr unsigned MAX_TITLE_LENGTH = 31;
    static constexpr unsigned MAX_TITLE_SIZE = 4 * MAX_TITLE_LENGTH;
    // Requests beyond this many queued generators are refused.
    static constexpr unsigned MAX_MAP_GENERATORS = 2;
    // The level box reaches this far past the block points' main positions.
    static const Ogre::Vector3 BOX_MARGIN;
    // The physics world ends this far past the level box.
    static const Ogre::Vector3 WORLD_LIMIT_MARGIN;
    // The invisible walls of the level body that keep objects in the play depth.
    static constexpr float DEPTH_WALL_Z = 1.5f;
    // Decals only go on surfaces strictly nearer the play plane than this.
    static constexpr float DECAL_DEPTH_LIMIT = 1.4f;
    // How near (in x and in y) a position must come to take a trigger point.
    static constexpr float TRIGGER_RANGE = 1.0f;
    // Entity flags that let a hit entity take decals: it must have both.
    static constexpr unsigned ENTITY_STATIC = 0x1;
    static constexpr unsigned ENTITY_DECALS = 0x2;

    // A "hint" or "sound" special point, armed from resetTriggerPoints until it is taken.
    struct TTriggerPoint
    {
        unsigned point;
        bool armed;
    };

    // Neither the scene manager nor the simulator is owned; a null scene manager makes a
    // headless level. Creates the level cache on the user data directory and, when OGRE has
    // a texture manager, the light-map texture.
    Level(Ogre::SceneManager* sceneManager, brix::Simulator* simulator, const std::string& userDataDirectory);
    virtual ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    // Stores the decal manager (may be null) and reads the block catalogue "blocks.xml".
    // Catalogue errors throw OGRE exceptions.
    virtual void initialize(brix::DecalManager* decals);
    // With create, clears and only names the level (its file in the user's level folder);
    // otherwise reads the file the cache knows for the name and, once it has read whole, holds
    // it in place of the level held before. False, logged, when the name is unknown or the file
    // unreadable, invalid or over the limits above; the level held stays as it was. A target
    // time that is not a number of seconds reads as 0.
    virtual bool load(const std::string& name, bool create);
    virtual unsigned getChecksum() const { return mChecksum; }
    // How many points, and the target time, the last load read with values in place of what
    // the file holds (logged as each was read); saving writes those values.
    unsigned getRepairCount() const { return mRepairCount; }
    // Writes the level file from the header and the points; the checksum becomes the written
    // file's. Nothing load would refuse is written: a point that checkPoint refuses, more than
    // MAX_POINTS points or a file over MAX_FILE_SIZE give false, logged with the point or the
    // limit, and the file keeps what it held.
    virtual bool save();
    // True while what the level holds is what its file holds: nothing written differs from
    // what was loaded or saved last, and the cache knows the file with that checksum still.
    // False for a level only created, and for one whose points or header were changed since.
    bool holdsFile() const;
    // The file's text as the last load read it (what a host sends of the level it plays);
    // empty for a level created or saved since.
    const std::string& getSource() const { return mSource; }
    // Destroys the scene and forgets the loaded level; blocks, cache and target time stay.
    virtual void clear();
    // Throws OGRE exceptions when the render geometry cannot be built; destroyScene then
    // removes what was made. Called again, it replaces the scene it built before.
    virtual void createScene();
    virtual void destroyScene();
    // Reads a level file into the tree under the limits every reader of levels applies, the
    // level cache and the tools as well as load: a file over MAX_FILE_SIZE is refused before
    // it is read, then one whose root is not "level", with more than MAX_POINTS points or with
    // a point of more than LevelPoint::MAX_POSITIONS positions. False with the cause in the
    // error text; overLimit, when given, tells whether a limit refused the file rather than its
    // being unreadable or no level.
    static bool loadTree(const std::string& path, brix::XMLElement& root, std::string& error,
                         bool* overLimit = nullptr, std::string* text = nullptr);
    // The one rule for a level file from outside (a shared level, a file in the level folders,
    // a level a host sends): loadTree, then every point read and checked as load reads it, so
    // that what passes is a level load and the match start take. False with the cause, the
    // point named by its index in the file; overLimit as for loadTree.
    bool loadPlayableTree(const std::string& path, brix::XMLElement& root, std::string& error,
                          bool* overLimit = nullptr) const;
    // False, with the cause, for a point the level cannot hold or the match start would refuse:
    // no positions or more than LevelPoint::MAX_POSITIONS, a block the catalogue lacks, an
    // entity without a prototype name or, once the game world answers the level's entity
    // queries, with the name of no prototype. Load, loadPlayableTree and save all check so.
    bool checkPoint(const LevelPoint& point, std::string& error) const;
    // Appends every block name in name order.
    virtual void getBlockNames(std::vector<std::string>& names) const;
    // Null for a name that is not in the catalogue.
    virtual Block* getBlock(const std::string& name) const;

    const std::string& getName() const { return mName; }
    const std::string& getFileName() const { return mFile; }
    // Where a level of that name lies in the player's level folder, listed or not.
    std::string getUserLevelFile(const std::string& name) const;
    const std::string& getUserDataDirectory() const { return mUserDataDirectory; }
    const Ogre::AxisAlignedBox& getBoundingBox() const { return mBoundingBox; }
    Ogre::SceneManager* getSceneManager() const { return mSceneManager; }
    brix::Simulator* getSimulator() const { return mSimulator; }
    // The level's static body, null without a scene; doors attach to it.
    brix::Body* getBody() const { return mBody; }
    // Whether what the level draws is the first thing met on the way from one point to another:
    // its blocks' bodies hide, the invisible depth walls do not. False without a scene.
    bool hides(const Ogre::Vector3& from, const Ogre::Vector3& to) const;
    // The points in file order; the editor edits them in place before saving.
    std::vector<LevelPoint>& getPoints() { return mPoints; }
    const std::vector<LevelPoint>& getPoints() const { return mPoints; }
    unsigned getVersion() const { return mVersion; }
    // Whether the loaded level lies in the built-in folder, as its cache entry says; saving
    // writes it into the file, which no reader takes it from.
    bool isBuiltin() const { return mBuiltin; }
    float getTargetTime() const { return mTargetTime; }
    void setTargetTime(float seconds) { mTargetTime = seconds; }
    std::string getTitle() const { return mTitle; }
    std::string getAuthor() const { return mAuthor; }
    std::string getNext() const { return mNext; }
    void setTitle(const std::string& title) { mTitle = title; }
    void setAuthor(const std::string& author) { mAuthor = author; }
    void setNext(const std::string& next) { mNext = next; }
    LevelCache* getLevelCache() const { return mLevelCache.get(); }
    bool hasSoundMap() const { return mSoundMap.getWidth() != 0; }
    // True while the level shows a light map of its own rather than the default one.
    bool hasLightMap() const { return mLightMap.getWidth() != 0; }
    // Tells the level what its traces hit and which prototypes exist; null (the default) lets no
    // entity take decals and leaves the prototype names of entity points unchecked (a tool or
    // a test without a game world).
    void setEntityQuery(const LevelEntityQuery* query) { mEntityQuery = query; }

    // True when the level's file is a shipped one whose checksum no longer matches.
    bool isModified() const;
    // Rescans the level folders.
    void updateLevelCache();

    // Both log and answer the box centre when the level has no such start.
    Ogre::Vector3 getRandomMultiplayerStart() const;
    Ogre::Vector3 getSinglePlayerStart() const;
    // Indices into the points of the "mpstart" points, in file order.
    const std::vector<unsigned>& getMultiplayerStarts() const { return mMultiplayerStarts; }

    // Arms every trigger point; loading leaves them disarmed.
    void resetTriggerPoints();
    // Copies and disarms the first armed trigger within TRIGGER_RANGE of the position in x
    // and y (z is ignored). False when there is none.
    bool takeTriggerPoint(const Ogre::Vector3& position, LevelPoint& point);

    // The name scores of a level are kept under: the name of a built-in level, else the name,
    // "@" and the cached checksum in lower-case hexadecimal.
    std::string getHighScoreName(const std::string& levelName) const;
    // The text before the first "@", or the whole text.
    static std::string getLevelNameOfHighScoreName(const std::string& highScoreName);
    // Deletes the light map and the sound map that lie beside a level file (its path without
    // FILE_EXTENSION, then LIGHT_MAP_SUFFIX or SOUND_MAP_SUFFIX): a level deleted or replaced
    // takes its maps with it, and the next one of that name makes its own.
    static void deleteMapFiles(const std::string& levelFile);
    // The title or author ("title", "author") of a level or level cache element, cleaned and cut
    // to MAX_TITLE_SIZE.
    static std::string readTitleText(const brix::XMLElement& element, const char* name);

    // Rebuild the level box (and with it the physics world limits) and the level body template
    // from the current block points; the editor calls them after changing blocks.
    void updateBoundingBox();
    void createBodyTemplate();

    // Shoots a decal of that kind along the direction onto the level or a static entity that
    // takes decals; nothing is placed when the ray hits nothing else. A zero facing turns the
    // decal to the hit surface.
    void createDecal(std::string material, const Ogre::Vector3& origin, const Ogre::Vector3& direction,
                     float distance, const brix::Movable* ignore, const Ogre::Vector3& facing);
    // Count decals shot in random directions around the origin, mostly in the play plane.
    void createScatteredDecals(std::string material, const Ogre::Vector3& origin, unsigned count,
                               float distance, const brix::Movable* ignore);

    // OGRE calls it whenever the light-map texture loads: the level's own light map from the
    // resource group, or the default one when the level has none.
    void loadResource(Ogre::Resource* resource) override;
    // Shows the default light map and forgets the level's own until the next reload.
    void useDefaultLightMap();
    // Reads the level's light map again (a texture reload); without a texture manager it
    // only reads the image.
    void reloadLightMapTexture();

    // Queue a 256 x 256 light map or a 128 x 128 sound map of the level, written into the
    // user's level folder and loaded when done. The source (not owned) answers what the
    // level's entities are; it must outlive the generators. False when MAX_MAP_GENERATORS
    // are already queued.
    bool generateLightMap(const LevelMapSource* entities);
    bool generateSoundMap(const LevelMapSource* entities);
    // Once per frame: starts the first queued generator, or finishes and drops it when its
    // run ended, so they run one at a time in request order.
    void updateMapGenerators();
    // Aborts and drops every queued generator, waiting for a running one to stop.
    void cancelMapGenerators();
    // Queued or running generators; 0 when all are done.
    unsigned getMapGeneratorCount() const { return static_cast<unsigned>(mMapGenerators.size()); }

    // Loads the level's sound map from the resource group, or empties it.
    void loadSoundMap();
    // The sound map's red and green at the position; both 0.5 without a sound map.
    void sampleSoundMap(const Ogre::Vector3& position, float& red, float& green) const;
    // Bilinear sample with texel (i, j) at (u, v) = (i, j); black outside the image.
    static Ogre::ColourValue sampleImage(const Ogre::Image& image, float u, float v);

protected:
    // Reads the points of the file with the multiplayer starts and trigger points among them,
    // counting repairs. False, logged, at the first point load refuses.
    bool readPoints(const brix::XMLElement* element, std::vector<LevelPoint>& points,
                    std::vector<unsigned>& multiplayerStarts, std::vector<TTriggerPoint>& triggers,
                    unsigned& repairCount) const;
    // Reads one point of the file and checks it as load does (LevelPoint::read, checkPoint).
    bool readPoint(const brix::XMLElement& element, unsigned index, LevelPoint& point, std::string& error,
                   std::string& repairs) const;
    void writePoints(brix::XMLElement* element) const;
    // The level file's tree as save writes it, and its checksum.
    void writeTree(brix::XMLElement& root) const;
    unsigned getWrittenChecksum() const;
    void preloadSounds();
    void loadBlocks();
    void unloadBlocks();
    void buildGeometry();

private:
    void destroyGeometry();
    void destroyBody();
    // Gives the image to the light-map texture, if there is one.
    void showLightMap(const Ogre::Image& image);
    // The path of a map of this level in the user's level folder.
    std::string getUserMapFile(const char* suffix) const;
    // Opens a file of the resource group "levels", looking into its folders as they are now:
    // maps written while the game runs are found too. Null when no folder holds it.
    static Ogre::DataStreamPtr openLevelResource(const std::string& file);
    // Reads a map image of the resource group "levels", logging what happened under the
    // kind's name. False when there is none or it is unreadable; the image may then be partial.
    static bool readLevelImage(const std::string& file, const char* kind, Ogre::Image& image);

    Ogre::SceneManager* mSceneManager;
    brix::Simulator* mSimulator;
    brix::DecalManager* mDecalManager = nullptr;
    const LevelEntityQuery* mEntityQuery = nullptr;
    std::unique_ptr<LevelCache> mLevelCache;
    Ogre::StaticGeometry* mGeometry = nullptr;
    std::string mUserDataDirectory;
    std::string mName;
    std::string mFile;
    Ogre::AxisAlignedBox mBoundingBox;
    std::map<std::string, Block*> mBlocks;
    std::vector<LevelPoint> mPoints;
    brix::Body* mBody = nullptr;
    // The body's triangles from this one on are the depth walls', after the blocks'.
    int mFirstDepthWallTriangle = 0;
    // Kept between calls of hides, which runs every frame.
    mutable std::vector<brix::TTraceContact> mRayHits;
    std::vector<unsigned> mMultiplayerStarts;
    unsigned mVersion = 0;
    bool mBuiltin = false;
    std::string mTitle;
    std::string mAuthor;
    float mTargetTime = 0.0f;
    std::string mNext;
    unsigned mChecksum = 0;
    // The checksum of the level as save would write it, when it was loaded or saved last.
    unsigned mWrittenChecksum = 0;
    unsigned mRepairCount = 0;
    std::string mSource;
    Ogre::Image mSoundMap;
    Ogre::TexturePtr mLightMapTexture;
    Ogre::Image mDefaultLightMap;
    Ogre::Image mLightMap;
    // Set only inside loadResource, where OGRE expects the texture to be filled directly.
    bool mLoadingLightMap = false;
    std::deque<std::unique_ptr<LevelMapGenerator>> mMapGenerators;
    std::vector<TTriggerPoint> mTriggerPoints;
};
} // namespace game
