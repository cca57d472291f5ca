#include "support/game/gameworld.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/shadowmanager.h"
#include "support/game/levelworld.h"
#include "support/ogre/headlessogre.h"

#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>

namespace test
{
namespace
{
const char* const RESOURCE_GROUP = "default";
const char* const GROUND_TEMPLATE = "testground";
} // namespace

const char* const GameWorld::DEFINITIONS = R"(
<human><name>player</name><id>1</id><weapon>pistol</weapon><integrity>100</integrity></human>
<weapon><name>pistol</name><id>199</id><displayname>Pistol</displayname><mesh>pistol.mesh</mesh>
    <shootdelay>0.3</shootdelay><reloaddelay>1</reloaddelay><rounds>60</rounds><roundsperclip>12</roundsperclip>
</weapon>
<prop>
    <name>crate</name><id>10</id><body>crate</body><mesh>crate.mesh</mesh><integrity>20</integrity>
    <shadowradius>0.6</shadowradius>
</prop>
<prop>
    <name>barrel</name><id>11</id><body>barrel</body><mesh>barrel.mesh</mesh><integrity>10</integrity>
    <explosion>barrelexplosion</explosion>
</prop>
<prop>
    <name>fragment</name><id>12</id><body>crate</body><mesh>crate.mesh</mesh><duration>2</duration>
</prop>
<explosion>
    <name>barrelexplosion</name><id>20</id><range>6</range><damage>6</damage><impulse>300</impulse>
    <radius>0.3</radius><duration>1</duration><fragmentcount>4</fragmentcount><fragmentradius>1.5</fragmentradius>
    <fragment><name>fragment</name><linearspeed>6</linearspeed><angularspeed>3</angularspeed><spread>20</spread></fragment>
</explosion>
)";

GameOgre::GameOgre() : mOgre(std::make_unique<HeadlessOgre>())
{
    Ogre::ResourceGroupManager::getSingleton().addResourceLocation(sourcePath("data"), "FileSystem",
                                                                   RESOURCE_GROUP);
}

GameOgre::~GameOgre() {}

Ogre::SceneManager* GameOgre::createSceneManager()
{
    return mOgre->root().createSceneManager();
}

GameWorld::GameWorld(Ogre::SceneManager* sceneManager, bool authoritative)
    : mOwnSimulator(std::make_unique<brix::Simulator>(false, 0.0125f)), mSimulator(mOwnSimulator.get())
{
    mSimulator->setGravity(Ogre::Vector3(0.0f, -9.8f, 0.0f));
    mSimulator->loadMaterials(sourcePath("data/materials.xml"));
    mSimulator->loadTemplates(sourcePath("data/entitybodies.xml"));
    brix::BodyTemplate* ground = mSimulator->createTemplate(GROUND_TEMPLATE);
    brix::BodyTemplate::TShape slab;
    slab.type = brix::BodyTemplate::SHAPE_BOX;
    slab.size = Ogre::Vector3(400.0f, 1.0f, 3.0f);
    ground->addShape(slab);
    ground->setMass(0.0f);
    mSimulator->createBody(GROUND_TEMPLATE)
        ->deploy(Ogre::Vector3(0.0f, GROUND - 0.5f, 0.0f), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                 Ogre::Vector3::ZERO);
    createServices(sceneManager, nullptr, authoritative);
}

GameWorld::GameWorld(LevelWorld& level, bool withScene, bool authoritative)
    : GameWorld(level.simulator(), withScene ? &level.sceneManager() : nullptr, &level.level())
{
    mEntities->setAuthoritative(authoritative);
}

GameWorld::GameWorld(brix::Simulator& simulator, Ogre::SceneManager* sceneManager, game::Level* level)
    : mSimulator(&simulator)
{
    if (!mSimulator->hasTemplate("crate"))
        mSimulator->loadTemplates(sourcePath("data/entitybodies.xml"));
    createServices(sceneManager, level, true);
}

void GameWorld::createServices(Ogre::SceneManager* sceneManager, game::Level* level, bool authoritative)
{
    mEvents = std::make_unique<game::EventDispatcher>();
    Ogre::SceneNode* root = sceneManager ? sceneManager->getRootSceneNode() : nullptr;
    if (sceneManager)
        mShadows = std::make_unique<game::ShadowManager>(sceneManager, root, mSimulator, "blobshadow");
    mEntities = std::make_unique<game::EntityManager>(mSimulator, sceneManager, root);
    mEntities->setServices(mEvents.get(), nullptr, mShadows.get(), nullptr, level);
    mEntities->setAuthoritative(authoritative);
}

GameWorld::~GameWorld()
{
    mEntities.reset();
    mSimulator->flush();
}

void GameWorld::loadEntities(const std::string& definitions)
{
    std::string path = mDir.file("entities.xml");
    writeFile(path, "<entities>" + definitions + "</entities>\n");
    mEntities->loadEntityPrototypes(path);
}

game::Entity* GameWorld::create(const std::string& name, const Ogre::Vector3& position,
                                const Ogre::Vector3& velocity, const Ogre::Quaternion& orientation)
{
    return mEntities->createEntity(name, position, orientation, velocity, Ogre::Vector3::ZERO);
}

void GameWorld::addBlock(const Ogre::Vector3& center, const Ogre::Vector3& size,
                         const Ogre::Quaternion& orientation)
{
    const std::string name = "testblock" + std::to_string(++mBlocks);
    brix::BodyTemplate* block = mSimulator->createTemplate(name);
    brix::BodyTemplate::TShape box;
    box.type = brix::BodyTemplate::SHAPE_BOX;
    box.size = size;
    block->addShape(box);
    block->setMass(0.0f);
    mSimulator->createBody(name)->deploy(center, orientation, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
}

void GameWorld::tick(int count)
{
    for (int i = 0; i < count; ++i)
    {
        mEntities->simulateTo(mEntities->nextTick());
        mEvents->dispatch();
        mEntities->interpolate(game::Entity::TICK_SECONDS, 1.0f);
        if (mShadows)
            mShadows->update();
    }
}
} // namespace test
