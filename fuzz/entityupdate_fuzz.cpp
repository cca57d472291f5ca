// Feeds arbitrary bytes to a client entity manager as the server's entity update message, then
// replays the ticks the message rewound, as a client does every packet. The client loads the
// game's own entity definitions, bodies and materials, so every class the game replicates can
// appear. Slots change class, entities spawn with physics bodies and are disabled; nothing may
// crash, leak or read outside the message. The world is cleared after each input so runs repeat.
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "network/networkdecodestream.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
struct ClientWorld
{
    ClientWorld()
    {
        new Ogre::LogManager();
        Ogre::LogManager::getSingleton().createLog("/tmp/korvane-fuzz-ogre.log", true, false, true);
        new Ogre::Root("", "", "");
        new Ogre::DefaultHardwareBufferManager();
        Ogre::MaterialManager::getSingleton().initialise();
        std::string source = KORVANE_SOURCE_DIR;
        Ogre::ResourceGroupManager::getSingleton().addResourceLocation(source + "/data", "FileSystem",
                                                                       "default");
        simulator.setGravity(Ogre::Vector3(0.0f, -9.8f, 0.0f));
        simulator.loadMaterials(source + "/data/materials.xml");
        simulator.loadTemplates(source + "/data/entitybodies.xml");
        entities.loadEntityPrototypes(source + "/entities.xml");
        entities.setAuthoritative(false);
        entities.setSyncEnabled(true);
        entities.addObserver(1, 1);
    }

    brix::Simulator simulator{false, 0.0125f};
    game::EntityManager entities{&simulator, nullptr, nullptr};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ClientWorld* world = new ClientWorld();
    game::EntityManager& entities = world->entities;
    brix::NetworkDecodeStream stream(data, static_cast<unsigned int>(size));
    entities.decodeNetworkData(0, stream, 0);
    entities.simulateTo(entities.nextTick());
    entities.interpolate(0.025f, 0.5f);
    entities.destroyAllEntities();
    world->simulator.flush();
    return 0;
}
