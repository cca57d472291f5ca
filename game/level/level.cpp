#include "game/level/level.h"

#include "engine/core/audiomanager.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "engine/presentation/decalmanager.h"
#include "game/level/block.h"
#include "game/level/datafile.h"
#include "game/level/levelcache.h"
#include "game/level/levelentityquery.h"
#include "game/level/levellightmapgenerator.h"
#include "game/level/levelsoundmapgenerator.h"
#include "game/level/version.h"
#include "toolkit/peertext.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

#include <OgreArchive.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreGpuProgramManager.h>
#include <OgreHardwarePixelBuffer.h>
#include <OgreMath.h>
#include <OgreMatrix4.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreStaticGeometry.h>
#include <OgreTextureManager.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace game
{
const char* const Level::LEVEL_BODY = "level";
const char* const Level::LEVEL_FOLDER = "levels";
const char* const Level::RESOURCE_GROUP = "levels";
const char* const Level::FILE_EXTENSION = ".xml";
const char* const Level::SOUND_MAP_SUFFIX = "_soundmap.png";
const char* const Level::LIGHT_MAP_SUFFIX = "_lightmap.png";
const char* const Level::LIGHT_MAP_TEXTURE = "lightmap";
const char* const Level::DEFAULT_LIGHT_MAP = "defaultlightmap.png";
const Ogre::Vector3 Level::BOX_MARGIN(5.0f, 5.0f, 10.0f);
const Ogre::Vector3 Level::WORLD_LIMIT_MARGIN(5.0f, 5.0f, 10.0f);

namespace
{
const char* const BLOCK_CATALOGUE = "blocks.xml";
const char* const BLOCK_CATALOGUE_ROOT = "blocks";
const char* const LEVEL_ROOT = "level";
const char* const SOUND_GROUP = "default";
const char* const DEFAULT_GROUP = "default";
const char* const LIGHT_MAP_PARAMETERS = "ambient_lightmap";
const char* const LIGHT_MAP_DIMENSIONS = "iLightMapDimensions";
const char* const GEOMETRY_ENTITY = "levelblock";
const Ogre::Vector3 GEOMETRY_REGION(40.0f, 40.0f, 10.0f);
// Decals are shot from a little behind the origin, so a surface right at it is still hit.
const float DECAL_BACKSTEP = 0.1f;
// Scattered decals leave the play plane by at most this angle.
const float SCATTER_PITCH = Ogre::Math::PI / 6.0f;
const float NO_SOUND_MAP = 0.5f;
// The codec of the map images, as their suffix says.
const char* const MAP_IMAGE_TYPE = "png";

// Appends a rectangle of two triangles in the plane z, facing the play plane (z = 0): ray
// tests skip back faces, so a wall facing away would let everything through.
void addDepthWall(std::vector<Ogre::Vector3>& vertices, const Ogre::AxisAlignedBox& box, float z)
{
    const Ogre::Vector3 a(box.getMinimum().x, box.getMinimum().y, z);
    const Ogre::Vector3 b(box.getMinimum().x, box.getMaximum().y, z);
    const Ogre::Vector3 c(box.getMaximum().x, box.getMaximum().y, z);
    const Ogre::Vector3 d(box.getMaximum().x, box.getMinimum().y, z);
    // (b - a) x (c - a) points to -z: right for the far wall, reversed for the near one.
    if (z > 0.0f)
        vertices.insert(vertices.end(), {a, b, c, a, c, d});
    else
        vertices.insert(vertices.end(), {a, c, b, a, d, c});
}

Ogre::ColourValue blend(const Ogre::ColourValue& first, const Ogre::ColourValue& second, float fraction)
{
    return first * (1.0f - fraction) + second * fraction;
}

// Ogre's freeMemory keeps an image's dimensions; a level's map without pixels has none, so that
// an empty map reads as empty.
void emptyImage(Ogre::Image& image)
{
    image.loadDynamicImage(nullptr, 0, 0, 1, Ogre::PF_UNKNOWN);
}

// Where a player starts in a level without starts: the middle of its box, or the origin while
// nothing is built.
Ogre::Vector3 middleOf(const Ogre::AxisAlignedBox& box)
{
    return box.isFinite() ? box.getCenter() : Ogre::Vector3::ZERO;
}
} // namespace

Level::Level(Ogre::SceneManager* sceneManager, brix::Simulator* simulator,
             const std::string& userDataDirectory)
    : mSceneManager(sceneManager), mSimulator(simulator),
      mLevelCache(std::make_unique<LevelCache>(userDataDirectory, *this)),
      mUserDataDirectory(userDataDirectory)
{
    // A headless level (a server, a tool, a test) has no texture manager and shows nothing.
    Ogre::TextureManager* textures = Ogre::TextureManager::getSingletonPtr();
    if (!textures)
        return;
    try
    {
        mDefaultLightMap.load(DEFAULT_LIGHT_MAP, DEFAULT_GROUP);
    }
    catch (const Ogre::Exception& exception)
    {
        // Full light, so that a level without any light map still shows.
        brix::Log::error("Default light map %s unreadable: %s", DEFAULT_LIGHT_MAP,
                         exception.getDescription().c_str());
        mDefaultLightMap.create(Ogre::PF_R8G8B8A8, 1, 1);
        mDefaultLightMap.setColourAt(Ogre::ColourValue::White, 0, 0, 0);
    }
    mLightMapTexture =
        textures->createManual(LIGHT_MAP_TEXTURE, DEFAULT_GROUP, Ogre::TEX_TYPE_2D, LIGHT_MAP_SIZE,
                               LIGHT_MAP_SIZE, 1, 0, Ogre::PF_R8G8B8A8, Ogre::TU_DEFAULT, this);
}

Level::~Level()
{
    clear();
    unloadBlocks();
    if (mLightMapTexture)
    {
        Ogre::TextureManager::getSingleton().remove(mLightMapTexture);
        mLightMapTexture.reset();
    }
}

void Level::initialize(brix::DecalManager* decals)
{
    mDecalManager = decals;
    loadBlocks();
}

void Level::loadBlocks()
{
    brix::XMLElement root(BLOCK_CATALOGUE_ROOT);
    std::string error;
    if (!loadDataTree(BLOCK_CATALOGUE, BLOCK_CATALOGUE_ROOT, root, error))
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND, "Error loading block definitions: " + error,
                    "Level::loadBlocks");
    for (const brix::XMLElement* element = root.getChild("block"); element;
         element = root.getNextChild(element, "block"))
    {
        std::unique_ptr<Block> block = std::make_unique<Block>(this);
        block->load(*element);
        const std::string name = block->getName();
        if (mBlocks.count(name))
            OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM, "Duplicate block name '" + name + "'",
                        "Level::loadBlocks");
        mBlocks[name] = block.release();
        brix::Log::info("Block '%s' definition loaded", name.c_str());
    }
}

void Level::unloadBlocks()
{
    for (auto& entry : mBlocks)
        delete entry.second;
    mBlocks.clear();
}

void Level::getBlockNames(std::vector<std::string>& names) const
{
    for (const auto& entry : mBlocks)
        names.push_back(entry.first);
}

Block* Level::getBlock(const std::string& name) const
{
    auto entry = mBlocks.find(name);
    return entry == mBlocks.end() ? nullptr : entry->second;
}

bool Level::load(const std::string& name, bool create)
{
    if (create)
    {
        clear();
        mName = name;
        mFile = getUserLevelFile(name);
        reloadLightMapTexture();
        loadSoundMap();
        return true;
    }

    // The file is read whole before anything of the level held goes: one that fails leaves the
    // level (and whoever edits or plays it) as it was.
    const std::string file = mLevelCache->getFileName(name);
    if (file.empty())
    {
        brix::Log::error("File name for level '%s' not found in cache", name.c_str());
        return false;
    }
    brix::XMLElement root(LEVEL_ROOT);
    std::string error;
    std::string source;
    if (!loadTree(file, root, error, nullptr, &source))
    {
        brix::Log::error("Error loading level '%s': %s", file.c_str(), brix::PeerText::forLog(error).c_str());
        return false;
    }
    unsigned repairs = 0;
    float targetTime = root.getValueAsFloat("targettime", 0.0f);
    if (!std::isfinite(targetTime) || targetTime < 0.0f)
    {
        brix::Log::error("Level '%s' target time '%s' is not a number of seconds, read as 0", name.c_str(),
                         brix::PeerText::forLog(root.getValue("targettime", "")).c_str());
        targetTime = 0.0f;
        ++repairs;
    }
    std::vector<LevelPoint> points;
    std::vector<unsigned> starts;
    std::vector<TTriggerPoint> triggers;
    if (const brix::XMLElement* element = root.getChild("points"))
        if (!readPoints(element, points, starts, triggers, repairs))
            return false;

    clear();
    mChecksum = calculateDataChecksum(root);
    mVersion = brix::StringUtil::versionStringToNumber(root.getValue("version", ""));
    // As the cache tells it, from the folder the file lies in: a file's own claim is not taken.
    mBuiltin = (mLevelCache->getFlags(name) & LevelCache::FLAG_BUILTIN) != 0;
    mTitle = readTitleText(root, "title");
    mAuthor = readTitleText(root, "author");
    mTargetTime = targetTime;
    mNext = root.getValue("next", "");
    mPoints.swap(points);
    mMultiplayerStarts.swap(starts);
    mTriggerPoints.swap(triggers);
    mRepairCount = repairs;
    mSource.swap(source);
    mWrittenChecksum = getWrittenChecksum();
    preloadSounds();
    mName = name;
    mFile = file;
    reloadLightMapTexture();
    loadSoundMap();
    return true;
}

bool Level::loadTree(const std::string& path, brix::XMLElement& root, std::string& error, bool* overLimit,
                     std::string* text)
{
    if (overLimit)
        *overLimit = false;
    const auto refuse = [&](const std::string& limit)
    {
        error = limit;
        if (overLimit)
            *overLimit = true;
        return false;
    };
    // Checked before reading: the reader would hold the whole file and its tree.
    const std::uint64_t size = brix::File::fileSize(path);
    if (size > MAX_FILE_SIZE)
        return refuse(std::to_string(size) + " bytes, more than the " + std::to_string(MAX_FILE_SIZE) +
                      " a level may have");
    if (!loadDataTree(path, LEVEL_ROOT, root, error, text))
        return false;
    const brix::XMLElement* points = root.getChild("points");
    unsigned count = 0;
    for (const brix::XMLElement* point = points ? points->getChild("point") : nullptr; point;
         point = points->getNextChild(point, "point"), ++count)
    {
        if (count == MAX_POINTS)
            return refuse("more than the " + std::to_string(MAX_POINTS) + " points a level may have");
        // Counted no further than one past the limit.
        unsigned positions = 0;
        for (const brix::XMLElement* position = point->getChild("position");
             position && positions <= LevelPoint::MAX_POSITIONS;
             position = point->getNextChild(position, "position"))
            ++positions;
        std::string cause;
        if (!LevelPoint::checkPositionLimit(positions, cause))
            return refuse("point " + std::to_string(count) + " (" +
                          LevelPoint::quote(point->getValue("name", "")) + "): " + cause);
    }
    return true;
}

bool Level::loadPlayableTree(const std::string& path, brix::XMLElement& root, std::string& error,
                             bool* overLimit) const
{
    if (!loadTree(path, root, error, overLimit))
        return false;
    const brix::XMLElement* points = root.getChild("points");
    unsigned index = 0;
    for (const brix::XMLElement* child = points ? points->getChild("point") : nullptr; child;
         child = points->getNextChild(child, "point"), ++index)
    {
        LevelPoint point;
        std::string repairs;
        if (!readPoint(*child, index, point, error, repairs))
        {
            error = "point " + std::to_string(index) + ": " + error;
            return false;
        }
    }
    return true;
}

bool Level::checkPoint(const LevelPoint& point, std::string& error) const
{
    if (point.positions.empty())
        error = "Level point definition without position(s)";
    else if (!LevelPoint::checkPositionLimit(point.positions.size(), error))
        return false;
    else if (point.type == LevelPoint::TYPE_BLOCK && !getBlock(point.name))
        error = "Reference to non-existing level block " + LevelPoint::quote(point.name);
    else if (point.type == LevelPoint::TYPE_ENTITY && point.name.empty())
        error = "Level entity point with no name";
    // The match start creates the level's entities from their prototypes.
    else if (point.type == LevelPoint::TYPE_ENTITY && mEntityQuery && !mEntityQuery->hasPrototype(point.name))
        error = "Reference to non-existing entity " + LevelPoint::quote(point.name);
    else
        return true;
    return false;
}

bool Level::readPoints(const brix::XMLElement* element, std::vector<LevelPoint>& points,
                       std::vector<unsigned>& multiplayerStarts, std::vector<TTriggerPoint>& triggers,
                       unsigned& repairCount) const
{
    for (const brix::XMLElement* child = element->getChild("point"); child;
         child = element->getNextChild(child, "point"))
    {
        LevelPoint point;
        std::string error;
        std::string repairs;
        const bool read = readPoint(*child, static_cast<unsigned>(points.size()), point, error, repairs);
        if (!repairs.empty())
        {
            brix::Log::error("%s", brix::PeerText::forLog(repairs).c_str());
            ++repairCount;
        }
        if (!read)
        {
            brix::Log::error("%s", brix::PeerText::forLog(error).c_str());
            return false;
        }
        if (point.isSpecial(LevelPoint::HINT))
            point.value = brix::PeerText::clean(point.value, MAX_FILE_SIZE);
        const unsigned index = static_cast<unsigned>(points.size());
        points.push_back(point);
        if (point.isSpecial(LevelPoint::MULTIPLAYER_START))
            multiplayerStarts.push_back(index);
        else if (point.isSpecial(LevelPoint::HINT) || point.isSpecial(LevelPoint::SOUND))
            triggers.push_back({index, false});
    }
    return true;
}

bool Level::readPoint(const brix::XMLElement& element, unsigned index, LevelPoint& point, std::string& error,
                      std::string& repairs) const
{
    return point.read(element, index, error, repairs) && checkPoint(point, error);
}

void Level::writePoints(brix::XMLElement* element) const
{
    for (const LevelPoint& point : mPoints)
        if (LevelPoint::getTypeName(point.type))
            point.write(*element->createChild("point"));
}

bool Level::save()
{
    if (mFile.empty())
    {
        brix::Log::error("Level without a file cannot be saved");
        return false;
    }
    // Indices as a reader counts them: the points that are written.
    unsigned index = 0;
    for (const LevelPoint& point : mPoints)
    {
        if (!LevelPoint::getTypeName(point.type))
            continue;
        std::string error;
        if (index == MAX_POINTS)
            error = "more than the " + std::to_string(MAX_POINTS) + " points a level may have";
        else if (!checkPoint(point, error))
            error = "point " + std::to_string(index) + " ('" + point.name + "'): " + error;
        if (!error.empty())
        {
            brix::Log::error("Error saving level '%s': %s", mFile.c_str(), error.c_str());
            return false;
        }
        ++index;
    }
    brix::XMLElement root(LEVEL_ROOT);
    writeTree(root);
    if (root.save(mFile, true, MAX_FILE_SIZE) < 0)
    {
        brix::Log::error("Error saving level '%s': %s", mFile.c_str(),
                         brix::XMLElement::getLastError().c_str());
        return false;
    }
    // What is held is now what the file holds; the text read before is not.
    mChecksum = calculateDataChecksum(root);
    mWrittenChecksum = mChecksum;
    mSource.clear();
    return true;
}

void Level::writeTree(brix::XMLElement& root) const
{
    root.createChild("version")->setValue(brix::StringUtil::versionNumberToString(APPLICATION_VERSION));
    root.createChild("builtin")->setValue(mBuiltin);
    root.createChild("title")->setValue(mTitle);
    root.createChild("author")->setValue(mAuthor);
    root.createChild("targettime")->setValue(mTargetTime);
    root.createChild("next")->setValue(mNext);
    writePoints(root.createChild("points"));
}

unsigned Level::getWrittenChecksum() const
{
    brix::XMLElement root(LEVEL_ROOT);
    writeTree(root);
    return calculateDataChecksum(root);
}

bool Level::holdsFile() const
{
    // A level the cache knows otherwise (or not at all) is not what its file holds now.
    if (mName.empty() || !mLevelCache->hasLevel(mName) || mLevelCache->getChecksum(mName) != mChecksum)
        return false;
    return getWrittenChecksum() == mWrittenChecksum;
}

void Level::preloadSounds()
{
    brix::AudioManager* audio = brix::AudioManager::getSingletonPtr();
    if (!audio)
        return;
    for (const LevelPoint& point : mPoints)
        if (point.isSpecial(LevelPoint::SOUND) && !point.value.empty())
            audio->load(point.value, SOUND_GROUP);
}

void Level::clear()
{
    destroyScene();
    if (mLightMapTexture)
        mLightMapTexture->unload();
    emptyImage(mLightMap);
    emptyImage(mSoundMap);
    mMultiplayerStarts.clear();
    mTriggerPoints.clear();
    mPoints.clear();
    mName.clear();
    mFile.clear();
    mVersion = 0;
    mBuiltin = false;
    mTitle.clear();
    mAuthor.clear();
    mNext.clear();
    mChecksum = 0;
    mWrittenChecksum = 0;
    mRepairCount = 0;
    mSource.clear();
}

bool Level::isModified() const
{
    unsigned shipped = 0;
    return getDataFileChecksum(mFile, shipped) && shipped != mChecksum;
}

void Level::updateLevelCache()
{
    mLevelCache->update();
}

Ogre::Vector3 Level::getRandomMultiplayerStart() const
{
    if (mMultiplayerStarts.empty())
    {
        brix::Log::error("No multiplayer start points found in level");
        return middleOf(mBoundingBox);
    }
    // The editor edits the points in place, so a listed index may have gone.
    const unsigned index = mMultiplayerStarts[std::rand() % mMultiplayerStarts.size()];
    return index < mPoints.size() ? mPoints[index].getPosition() : middleOf(mBoundingBox);
}

Ogre::Vector3 Level::getSinglePlayerStart() const
{
    for (const LevelPoint& point : mPoints)
        if (point.isSpecial(LevelPoint::SINGLE_PLAYER_START))
            return point.getPosition();
    brix::Log::error("No single player start point found in level");
    return middleOf(mBoundingBox);
}

void Level::resetTriggerPoints()
{
    for (TTriggerPoint& trigger : mTriggerPoints)
        trigger.armed = true;
}

bool Level::takeTriggerPoint(const Ogre::Vector3& position, LevelPoint& point)
{
    for (TTriggerPoint& trigger : mTriggerPoints)
    {
        if (!trigger.armed || trigger.point >= mPoints.size())
            continue;
        const Ogre::Vector3 offset = mPoints[trigger.point].getPosition() - position;
        if (std::abs(offset.x) <= TRIGGER_RANGE && std::abs(offset.y) <= TRIGGER_RANGE)
        {
            point = mPoints[trigger.point];
            trigger.armed = false;
            return true;
        }
    }
    return false;
}

std::string Level::getHighScoreName(const std::string& levelName) const
{
    if (mLevelCache->getFlags(levelName) & LevelCache::FLAG_BUILTIN)
        return levelName;
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "@%x", mLevelCache->getChecksum(levelName));
    return levelName + checksum;
}

void Level::deleteMapFiles(const std::string& levelFile)
{
    const std::string extension = FILE_EXTENSION;
    const std::string base = Ogre::StringUtil::endsWith(levelFile, extension, false)
                                 ? levelFile.substr(0, levelFile.size() - extension.size())
                                 : levelFile;
    for (const char* suffix : {LIGHT_MAP_SUFFIX, SOUND_MAP_SUFFIX})
    {
        const std::string map = base + suffix;
        if (brix::File::fileExists(map) && brix::File::deleteFile(map))
            brix::Log::debug("Deleting map '%s'", map.c_str());
    }
}

std::string Level::getLevelNameOfHighScoreName(const std::string& highScoreName)
{
    return highScoreName.substr(0, highScoreName.find('@'));
}

std::string Level::readTitleText(const brix::XMLElement& element, const char* name)
{
    return brix::PeerText::clean(element.getValue(name, ""), MAX_TITLE_SIZE);
}

void Level::updateBoundingBox()
{
    mBoundingBox.setNull();
    for (const LevelPoint& point : mPoints)
        if (point.type == LevelPoint::TYPE_BLOCK)
            mBoundingBox.merge(point.getPosition());
    // A level without blocks still gets a box, around the origin.
    if (mBoundingBox.isNull())
        mBoundingBox.merge(Ogre::Vector3::ZERO);
    mBoundingBox.setExtents(mBoundingBox.getMinimum() - BOX_MARGIN, mBoundingBox.getMaximum() + BOX_MARGIN);
    mSimulator->setWorldLimits(mBoundingBox.getMinimum() - WORLD_LIMIT_MARGIN,
                               mBoundingBox.getMaximum() + WORLD_LIMIT_MARGIN);

    // The level material maps its light map over the box; the parameters exist only with a
    // render system that has read the material scripts.
    Ogre::GpuProgramManager* programs = Ogre::GpuProgramManager::getSingletonPtr();
    if (!programs)
        return;
    const auto& shared = programs->getAvailableSharedParameters();
    auto parameters = shared.find(LIGHT_MAP_PARAMETERS);
    if (parameters == shared.end())
        return;
    const Ogre::Vector3 size = mBoundingBox.getSize();
    parameters->second->setNamedConstant(
        LIGHT_MAP_DIMENSIONS,
        Ogre::Vector4(mBoundingBox.getMinimum().x, mBoundingBox.getMinimum().y, size.x, size.y));
}

void Level::createBodyTemplate()
{
    mSimulator->removeTemplate(LEVEL_BODY);
    brix::BodyTemplate* levelTemplate = mSimulator->createTemplate(LEVEL_BODY);
    levelTemplate->setMaterial(LEVEL_BODY);

    brix::BodyTemplate::TShape mesh;
    mesh.type = brix::BodyTemplate::SHAPE_MESH;
    for (const LevelPoint& point : mPoints)
    {
        const Block* block = point.type == LevelPoint::TYPE_BLOCK ? getBlock(point.name) : nullptr;
        if (!block || block->getBodyTemplateName().empty())
            continue;
        const brix::BodyTemplate* blockTemplate = mSimulator->getTemplate(block->getBodyTemplateName());
        if (!blockTemplate)
            continue;
        Ogre::Matrix4 transform;
        transform.makeTransform(point.getPosition(), block->getScale(), point.orientation);
        for (unsigned index = 0; index < blockTemplate->numShapes(); ++index)
        {
            const brix::BodyTemplate::TShape& shape = blockTemplate->getShape(index);
            if (shape.type != brix::BodyTemplate::SHAPE_MESH)
                continue;
            for (const Ogre::Vector3& vertex : shape.points)
                mesh.points.push_back(transform * vertex);
        }
    }
    mFirstDepthWallTriangle = static_cast<int>(mesh.points.size() / 3);
    addDepthWall(mesh.points, mBoundingBox, DEPTH_WALL_Z);
    addDepthWall(mesh.points, mBoundingBox, -DEPTH_WALL_Z);
    brix::Log::debug("Created level body template with %d vertices", static_cast<int>(mesh.points.size()));
    levelTemplate->addShape(mesh);
}

bool Level::hides(const Ogre::Vector3& from, const Ogre::Vector3& to) const
{
    if (!mBody)
        return false;
    auto depthWall = [this](const brix::TTraceContact& hit)
    { return hit.movable == mBody && hit.triangle >= mFirstDepthWallTriangle; };
    brix::TTraceContact hit;
    if (mSimulator->traceRay(from, to, &hit, nullptr) != mBody)
        return false;
    if (!depthWall(hit))
        return true;
    // A depth wall came first: the first thing beyond the walls decides. The hits come nearest
    // first.
    mRayHits.clear();
    mSimulator->traceRayAll(from, to, mRayHits);
    for (const brix::TTraceContact& each : mRayHits)
        if (!depthWall(each))
            return each.movable == mBody;
    return false;
}

void Level::createScene()
{
    // A scene built before is replaced: its body goes before the template it was made from.
    destroyBody();
    updateBoundingBox();
    createBodyTemplate();
    mBody = mSimulator->createBody(LEVEL_BODY);
    mBody->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    mBody->setContactInfoFlags(0);
    buildGeometry();
}

void Level::buildGeometry()
{
    destroyGeometry();
    if (!mSceneManager)
        return;
    mGeometry = mSceneManager->createStaticGeometry(LEVEL_BODY);
    mGeometry->setRegionDimensions(GEOMETRY_REGION);
    for (const LevelPoint& point : mPoints)
    {
        const Block* block = point.type == LevelPoint::TYPE_BLOCK ? getBlock(point.name) : nullptr;
        if (!block)
            continue;
        Ogre::Entity* entity = mSceneManager->createEntity(GEOMETRY_ENTITY, block->getMesh());
        try
        {
            mGeometry->addEntity(entity, point.getPosition(), point.orientation, block->getScale());
        }
        catch (...)
        {
            // The name is reused for every block: a leftover would fail every later build.
            mSceneManager->destroyEntity(entity);
            throw;
        }
        mSceneManager->destroyEntity(entity);
    }
    mGeometry->build();
}

void Level::destroyGeometry()
{
    if (!mGeometry)
        return;
    mSceneManager->destroyStaticGeometry(mGeometry);
    mGeometry = nullptr;
}

void Level::destroyScene()
{
    cancelMapGenerators();
    destroyGeometry();
    if (mDecalManager)
        mDecalManager->destroyAllDecals();
    destroyBody();
    mSimulator->removeTemplate(LEVEL_BODY);
}

void Level::destroyBody()
{
    if (!mBody)
        return;
    mSimulator->destroyBody(mBody);
    mBody = nullptr;
    // The body is deleted before its template goes, not at the next tick.
    mSimulator->flush();
}

void Level::createDecal(std::string material, const Ogre::Vector3& origin, const Ogre::Vector3& direction,
                        float distance, const brix::Movable* ignore, const Ogre::Vector3& facing)
{
    if (!mDecalManager)
        return;
    brix::TTraceContact contact;
    brix::Movable* hit = mSimulator->traceRay(origin - direction * DECAL_BACKSTEP,
                                              origin + direction * distance, &contact, ignore);
    if (!hit)
        return;
    if (const void* entity = hit->getUserData())
    {
        const unsigned flags = mEntityQuery ? mEntityQuery->getEntityFlags(entity) : 0;
        if ((flags & (ENTITY_STATIC | ENTITY_DECALS)) != (ENTITY_STATIC | ENTITY_DECALS))
            return;
    }
    if (!(contact.position.z > -DECAL_DEPTH_LIMIT && contact.position.z < DECAL_DEPTH_LIMIT))
        return;
    const Ogre::Quaternion roll(Ogre::Degree(Ogre::Math::RangeRandom(0.0f, 360.0f)), Ogre::Vector3::UNIT_X);
    const Ogre::Vector3 face = facing == Ogre::Vector3::ZERO ? contact.normal : facing;
    mDecalManager->createDecal(material, contact.position, Ogre::Vector3::UNIT_X.getRotationTo(-face) * roll);
}

void Level::createScatteredDecals(std::string material, const Ogre::Vector3& origin, unsigned count,
                                  float distance, const brix::Movable* ignore)
{
    for (unsigned index = 0; index < count; ++index)
    {
        const Ogre::Quaternion turn(Ogre::Radian(Ogre::Math::RangeRandom(-Ogre::Math::PI, Ogre::Math::PI)),
                                    Ogre::Vector3::UNIT_Z);
        const Ogre::Quaternion pitch(Ogre::Radian(Ogre::Math::RangeRandom(-SCATTER_PITCH, SCATTER_PITCH)),
                                     Ogre::Vector3::UNIT_Y);
        createDecal(material, origin, turn * pitch * Ogre::Vector3::UNIT_X, distance, ignore,
                    Ogre::Vector3::ZERO);
    }
}

Ogre::DataStreamPtr Level::openLevelResource(const std::string& file)
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (!groups.resourceGroupExists(RESOURCE_GROUP))
        return Ogre::DataStreamPtr();
    // The group's index only knows the files that were there when it was set up.
    Ogre::FileInfoListPtr found = groups.findResourceFileInfo(RESOURCE_GROUP, file);
    for (const Ogre::FileInfo& info : *found)
        if (info.archive && info.filename == file)
            return info.archive->open(info.filename);
    return Ogre::DataStreamPtr();
}

void Level::loadResource(Ogre::Resource*)
{
    mLoadingLightMap = true;
    reloadLightMapTexture();
    mLoadingLightMap = false;
}

void Level::reloadLightMapTexture()
{
    // OGRE calls loadResource again, which comes back here to read the image.
    if (mLightMapTexture && !mLoadingLightMap)
    {
        if (mLightMapTexture->isLoaded())
            mLightMapTexture->reload();
        else
            mLightMapTexture->load();
        return;
    }
    if (!mName.empty() && readLevelImage(mName + LIGHT_MAP_SUFFIX, "Light map texture", mLightMap))
    {
        showLightMap(mLightMap);
        return;
    }
    useDefaultLightMap();
}

void Level::useDefaultLightMap()
{
    showLightMap(mDefaultLightMap);
    emptyImage(mLightMap);
}

void Level::showLightMap(const Ogre::Image& image)
{
    if (!mLightMapTexture)
        return;
    if (mLoadingLightMap)
        mLightMapTexture->_loadImages({&image});
    else if (mLightMapTexture->isLoaded())
        mLightMapTexture->getBuffer()->blitFromMemory(image.getPixelBox());
}

bool Level::generateLightMap(const LevelMapSource* entities)
{
    if (mMapGenerators.size() >= MAX_MAP_GENERATORS)
        return false;
    useDefaultLightMap();
    mMapGenerators.emplace_back(std::make_unique<LevelLightMapGenerator>(
        this, getUserMapFile(LIGHT_MAP_SUFFIX), LIGHT_MAP_SIZE, LIGHT_MAP_SIZE, entities));
    brix::Log::debug("Level '%s' light map generation requested", mName.c_str());
    return true;
}

bool Level::generateSoundMap(const LevelMapSource* entities)
{
    if (mMapGenerators.size() >= MAX_MAP_GENERATORS)
        return false;
    emptyImage(mSoundMap);
    mMapGenerators.emplace_back(std::make_unique<LevelSoundMapGenerator>(
        this, getUserMapFile(SOUND_MAP_SUFFIX), SOUND_MAP_SIZE, SOUND_MAP_SIZE, entities));
    brix::Log::debug("Level '%s' sound map generation requested", mName.c_str());
    return true;
}

std::string Level::getUserLevelFile(const std::string& name) const
{
    return brix::File::filePath(mUserDataDirectory, LEVEL_FOLDER) + "/" + name + FILE_EXTENSION;
}

std::string Level::getUserMapFile(const char* suffix) const
{
    return brix::File::filePath(mUserDataDirectory, LEVEL_FOLDER) + "/" + mName + suffix;
}

void Level::updateMapGenerators()
{
    if (mMapGenerators.empty())
        return;
    LevelMapGenerator& generator = *mMapGenerators.front();
    switch (generator.getState())
    {
    case LevelMapGenerator::STATE_IDLE:
        if (!generator.start())
            mMapGenerators.pop_front();
        break;
    case LevelMapGenerator::STATE_FINISHED:
        generator.finish();
        mMapGenerators.pop_front();
        break;
    default:
        break;
    }
}

void Level::cancelMapGenerators()
{
    while (!mMapGenerators.empty())
    {
        mMapGenerators.front()->abort();
        mMapGenerators.pop_front();
    }
}

bool Level::readLevelImage(const std::string& file, const char* kind, Ogre::Image& image)
{
    try
    {
        if (Ogre::DataStreamPtr stream = openLevelResource(file))
        {
            image.load(stream, MAP_IMAGE_TYPE);
            brix::Log::info("%s %s loaded", kind, file.c_str());
            return true;
        }
        brix::Log::error("%s %s not found", kind, file.c_str());
    }
    catch (const Ogre::Exception& exception)
    {
        // An unreadable image counts as none: play goes on without it.
        brix::Log::error("%s %s unreadable: %s", kind, file.c_str(), exception.getDescription().c_str());
    }
    return false;
}

void Level::loadSoundMap()
{
    if (!readLevelImage(mName + SOUND_MAP_SUFFIX, "Sound map image", mSoundMap))
        emptyImage(mSoundMap);
}

void Level::sampleSoundMap(const Ogre::Vector3& position, float& red, float& green) const
{
    if (!hasSoundMap() || !mBoundingBox.isFinite())
    {
        red = green = NO_SOUND_MAP;
        return;
    }
    const Ogre::Vector3 size = mBoundingBox.getSize();
    const float u = (position.x - mBoundingBox.getMinimum().x) / size.x * mSoundMap.getWidth();
    const float v = (mBoundingBox.getMaximum().y - position.y) / size.y * mSoundMap.getHeight();
    const Ogre::ColourValue colour = sampleImage(mSoundMap, u, v);
    red = colour.r;
    green = colour.g;
}

Ogre::ColourValue Level::sampleImage(const Ogre::Image& image, float u, float v)
{
    const int width = static_cast<int>(image.getWidth());
    const int height = static_cast<int>(image.getHeight());
    // Checked before truncating, so that far-away and not-a-number positions stay outside.
    if (!(u > -1.0f && v > -1.0f && u < width && v < height))
        return Ogre::ColourValue::Black;
    const int x0 = static_cast<int>(u);
    const int y0 = static_cast<int>(v);
    const bool right = x0 + 1 < width;
    const bool below = y0 + 1 < height;
    const Ogre::ColourValue here = image.getColourAt(x0, y0, 0);
    if (!right && !below)
        return here;
    // Truncation maps the sliver just outside the first texel onto it; it takes that texel's
    // colour instead of an extrapolation.
    const float fx = std::max(0.0f, u - x0);
    const float fy = std::max(0.0f, v - y0);
    if (right && below)
        return blend(blend(here, image.getColourAt(x0 + 1, y0, 0), fx),
                     blend(image.getColourAt(x0, y0 + 1, 0), image.getColourAt(x0 + 1, y0 + 1, 0), fx), fy);
    if (right)
        return blend(here, image.getColourAt(x0 + 1, y0, 0), fx);
    return blend(here, image.getColourAt(x0, y0 + 1, 0), fy);
}
} // namespace game
