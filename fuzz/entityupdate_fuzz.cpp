// Feeds arbitrary bytes to a client entity manager as the server's entity update message, then
// replays the ticks the message rewound, as a client does every packet. Slots change class,
// entities spawn with physics bodies and are disabled; nothing may crash, leak or read outside
// the message. The world is cleared after each input so runs repeat.
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "network/networkdecodestream.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace
{
// Every class with a state of its own, as the game's definitions name them.
const char* const DEFINITIONS = R"(<entities>
<human><name>player</name><id>1</id></human>
<prop><name>crate</name><id>10</id><body>crate</body><mesh>crate.mesh</mesh><integrity>20</integrity></prop>
<prop><name>barrel</name><id>11</id><body>barrel</body><mesh>barrel.mesh</mesh><explosion>blast</explosion></prop>
<explosion><name>blast</name><id>20</id><range>6</range><damage>6</damage><duration>1</duration></explosion>
<weapon><name>pistol</name><id>30</id></weapon>
<package><name>health</name><id>31</id></package>
<projectile><name>bullet</name><id>32</id></projectile>
<platform><name>lift</name><id>40</id></platform>
<door><name>door</name><id>41</id></door>
<shield><name>shield</name><id>42</id></shield>
<sentrygun><name>sentry</name><id>50</id></sentrygun>
<drone><name>drone</name><id>51</id></drone>
<crawler><name>crawler</name><id>255</id></crawler>
</entities>
)";

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
        std::string file = "/tmp/korvane-fuzz-entities.xml";
        if (FILE* out = std::fopen(file.c_str(), "w"))
        {
            std::fputs(DEFINITIONS, out);
            std::fclose(out);
        }
        entities.loadEntityPrototypes(file);
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
