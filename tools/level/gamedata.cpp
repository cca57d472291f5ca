#include "gamedata.h"

#include "engine/core/simulator.h"
#include "game/level/block.h"
#include "game/level/level.h"
#include "toolkit/file.h"
#include "toolkit/log.h"

#include <OgreDefaultHardwareBufferManager.h>
#include <OgreLogManager.h>
#include <OgreMaterialManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace levels
{
namespace
{
const char* const DATA_FOLDER = "data";
const float PHYSICS_STEP = 0.0125f;
const Ogre::Vector3 GRAVITY(0.0f, -9.8f, 0.0f);
} // namespace

GameData::GameData(const std::string& userDataDirectory) : mUserDataDirectory(userDataDirectory)
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (!groups.resourceGroupExists(game::Block::MESH_GROUP))
        groups.createResourceGroup(game::Block::MESH_GROUP);
    groups.addResourceLocation(DATA_FOLDER, "FileSystem", game::Block::MESH_GROUP);
    const std::string userLevels = brix::File::filePath(userDataDirectory, game::Level::LEVEL_FOLDER);
    if (!brix::File::directoryExists(userLevels))
        brix::File::createDirectory(userLevels);
    groups.createResourceGroup(game::Level::RESOURCE_GROUP);
    groups.addResourceLocation(game::Level::LEVEL_FOLDER, "FileSystem", game::Level::RESOURCE_GROUP);
    groups.addResourceLocation(userLevels, "FileSystem", game::Level::RESOURCE_GROUP);

    mSimulator = std::make_unique<brix::Simulator>(false, PHYSICS_STEP);
    mSimulator->setGravity(GRAVITY);
    mSimulator->loadMaterials("data/materials.xml");
    mSimulator->loadTemplates("data/blockbodies.xml");
}

GameData::~GameData()
{
    mSimulator.reset();
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.destroyResourceGroup(game::Level::RESOURCE_GROUP);
    groups.removeResourceLocation(DATA_FOLDER, game::Block::MESH_GROUP);
}

HeadlessGame::HeadlessGame(const std::string& userDataDirectory, const std::string& ogreLog)
{
    mLogManager = std::make_unique<Ogre::LogManager>();
    mLogManager->createLog(ogreLog, true, false, false);
    mRoot = new Ogre::Root("", "", "");
    mBuffers = new Ogre::DefaultHardwareBufferManager();
    Ogre::MaterialManager::getSingleton().initialise();
    mData = std::make_unique<GameData>(userDataDirectory);
}

Ogre::SceneManager* HeadlessGame::createSceneManager()
{
    return mRoot->createSceneManager();
}

HeadlessGame::~HeadlessGame()
{
    mData.reset();
    delete mRoot;
    delete mBuffers;
}
bool prepareUserFolder(std::string& user, const std::string& prefix, const std::string& log)
{
    if (user.empty())
    {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        std::vector<char> folder(pattern.begin(), pattern.end());
        folder.push_back('\0');
        if (!mkdtemp(folder.data()))
        {
            std::perror("mkdtemp");
            return false;
        }
        user = folder.data();
    }
    if (!log.empty())
        brix::Log::open(log.c_str(), false);
    return true;
}

} // namespace levels
