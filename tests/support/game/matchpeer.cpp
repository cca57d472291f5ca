#include "support/game/matchpeer.h"

#include "engine/core/simulator.h"
#include "engine/presentation/messagedisplay.h"
#include "game/application/application.h"
#include "game/level/block.h"
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/human.h"
#include "toolkit/file.h"

#include <OgreMaterialManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>

#include <algorithm>
#include <fstream>

namespace test
{
namespace
{
const char* const DATA_FOLDER = "data";
const char* const SKIN_GROUP = "skins";
const float PHYSICS_STEP = 0.0125f;
const unsigned int MESSAGE_LINES = 64;
// The game's default view of the world around each player.
const float VISIBLE_WIDTH = 30.0f;
const float VISIBLE_HEIGHT = 20.0f;
} // namespace

const char* const MatchPeer::DEFINITIONS = R"(<entities>
<human>
    <name>player</name><id>1</id><body>human</body><mesh>human.mesh</mesh>
    <standheight>0.95</standheight><eyeheight>0.75</eyeheight>
    <weapon>pistol</weapon><integrity>100</integrity><killscore>100</killscore>
</human>
<weapon><name>pistol</name><id>199</id><displayname>Pistol</displayname><mesh>pistol.mesh</mesh>
    <projectile><name>bullet</name><speed>40</speed><offset>0.26 0.06 0</offset><count>1</count></projectile>
    <shootdelay>0.3</shootdelay><reloaddelay>1</reloaddelay><rounds>60</rounds><roundsperclip>12</roundsperclip>
</weapon>
<projectile><name>bullet</name><id>20</id><mass>0.05</mass><mesh>projectile.mesh</mesh><damage>10</damage>
    <noexplosiontype>human</noexplosiontype><distancelimit>30</distancelimit></projectile>
<prop><name>crate</name><id>10</id><body>crate</body><mesh>crate.mesh</mesh><integrity>20</integrity></prop>
</entities>
)";

MatchGround::MatchGround()
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation(DATA_FOLDER, "FileSystem", game::Block::MESH_GROUP);
    groups.createResourceGroup(game::Level::RESOURCE_GROUP);
    groups.createResourceGroup(SKIN_GROUP);
    std::ifstream script(std::string(DATA_FOLDER) + "/human.material");
    const std::string keyword = "material ";
    for (std::string line; std::getline(script, line);)
        if (line.compare(0, keyword.size(), keyword) == 0)
            Ogre::MaterialManager::getSingleton().create(line.substr(keyword.size()), SKIN_GROUP);
}

MatchGround::~MatchGround()
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.destroyResourceGroup(SKIN_GROUP);
    groups.destroyResourceGroup(game::Level::RESOURCE_GROUP);
    groups.removeResourceLocation(DATA_FOLDER, game::Block::MESH_GROUP);
}

Ogre::SceneManager* MatchGround::createSceneManager()
{
    return mOgre.root().createSceneManager();
}

void ScriptedController::update(unsigned short tick)
{
    if (script.empty())
        return;
    TInput input = script.front();
    script.pop_front();
    input.tick = tick;
    addInput(input);
}

MatchPeer::MatchPeer(MatchGround& ground, bool host, float messageSeconds)
{
    mLevelFolder = brix::File::filePath(mUser.path(), game::Level::LEVEL_FOLDER);
    brix::File::createDirectory(mLevelFolder);
    Ogre::ResourceGroupManager::getSingleton().addResourceLocation(mLevelFolder, "FileSystem",
                                                                   game::Level::RESOURCE_GROUP);
    mSceneManager = ground.createSceneManager();

    mSimulator = std::make_unique<brix::Simulator>(false, PHYSICS_STEP);
    mSimulator->setGravity(Ogre::Vector3(0.0f, -9.8f, 0.0f));
    mSimulator->loadMaterials("data/materials.xml");
    mSimulator->loadTemplates("data/blockbodies.xml");
    mSimulator->loadTemplates("data/entitybodies.xml");
    mLevel = std::make_unique<game::Level>(nullptr, mSimulator.get(), mUser.path());
    mLevel->initialize(nullptr);

    mEvents = std::make_unique<game::EventDispatcher>();
    mEntities = std::make_unique<game::EntityManager>(mSimulator.get(), mSceneManager,
                                                      mSceneManager->getRootSceneNode());
    mEntities->setServices(mEvents.get(), nullptr, nullptr, nullptr, mLevel.get());
    mEntities->setAuthoritative(host);
    mEntities->setVisibleArea(VISIBLE_WIDTH, VISIBLE_HEIGHT);
    const std::string definitions = mUser.file("entities.xml");
    std::ofstream(definitions) << DEFINITIONS;
    mEntities->loadEntityPrototypes(definitions);

    mPlayers = std::make_unique<game::PlayerManager>();
    mPlayers->setAuthoritative(host);
    mPlayers->initialize(mEvents.get(), nullptr, mLevel.get(), mEntities.get(), nullptr);
    mDisplay = std::make_unique<brix::MessageDisplay>(mSceneManager, MESSAGE_LINES, messageSeconds,
                                                      ImageFont::NAME, 0.05f, Ogre::ColourValue::White);
    if (host)
    {
        mServer = std::make_unique<game::Server>();
        mServer->initialize(mEvents.get(), mPlayers.get(), mEntities.get(), mDisplay.get());
        mServer->setUpdateInterval(0);
    }
}

MatchPeer::~MatchPeer()
{
    mClients.clear();
    mServer.reset();
    mPlayers->endMatch();
    mPlayers.reset();
    mEntities.reset();
    mEvents.reset();
    mLevel.reset();
    mSimulator->flush();
    mSimulator.reset();
    mDisplay.reset();
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (groups.resourceGroupExists(game::Level::RESOURCE_GROUP))
        groups.removeResourceLocation(mLevelFolder, game::Level::RESOURCE_GROUP);
}

bool MatchPeer::startMatch(const LevelBuilder& builder, const std::string& name, unsigned int scoreLimit)
{
    if (!builder.save(*mLevel, name))
        return false;
    mLevel->updateLevelCache();
    // The match loads the level afresh, with its checksum, as a host's would.
    mLevel->clear();
    if (!mPlayers->startMatch(name, scoreLimit, false, false))
        return false;
    Ogre::ResourceGroupManager::getSingleton().removeResourceLocation(mLevelFolder,
                                                                      game::Level::RESOURCE_GROUP);
    return true;
}

game::Client& MatchPeer::addClient(const std::string& name)
{
    auto client = std::make_unique<game::Client>(static_cast<unsigned int>(mClients.size()), mUser.path());
    client->initialize(mEvents.get(), mPlayers.get(), mEntities.get(), mDisplay.get());
    auto controller = std::make_unique<ScriptedController>();
    mControllers.push_back(controller.get());
    client->setController(std::move(controller));
    client->setUpdateInterval(0);
    client->configurePlayer(name, 0);
    mClients.push_back(std::move(client));
    return *mClients.back();
}

void MatchPeer::tick()
{
    for (auto& client : mClients)
        client->update();
    // As the game runs it: a joiner's world ahead of the host's states by its input advance.
    const int advance = mClients.empty() ? 0 : std::max(0, mClients.front()->getInputAdvance());
    const unsigned short tick = game::Application::predictTick(
        mEntities->nextTick(), static_cast<unsigned int>(advance) + mLead, 1.0f);
    if (mServer)
        mServer->tick();
    if (!mClientsHeld)
        for (auto& client : mClients)
            client->tick(tick);
    mEntities->simulateTo(tick);
    mPlayers->tick(tick);
    mEvents->dispatch();
    mEntities->updateObserverVisibility();
    if (mServer)
        mServer->update();
}

std::vector<std::string> MatchPeer::shown() const
{
    return mDisplay->getMessages();
}

void MatchPeer::clearShown()
{
    mDisplay->clear();
}

game::Human* MatchPeer::human(unsigned int playerIndex) const
{
    game::Player* player = mPlayers->getPlayer(playerIndex);
    return player ? static_cast<game::Human*>(player->getHuman()) : nullptr;
}

std::string MatchPeer::levelFile(const std::string& name) const
{
    return mLevelFolder + "/" + name + game::Level::FILE_EXTENSION;
}
} // namespace test
