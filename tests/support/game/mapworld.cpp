#include "support/game/mapworld.h"

#include "support/tempdir.h"

#include "game/level/level.h"
#include "toolkit/thread.h"

#include <OgreDataStream.h>
#include <OgreRoot.h>

#include <cstdlib>

namespace test
{
namespace
{
const unsigned POLL_MILLISECONDS = 1;
} // namespace

bool MapSource::getStaticLight(const std::string& prototype, Ogre::Vector3& offset, Ogre::ColourValue& colour,
                               float& range, float& angle) const
{
    auto light = lights.find(prototype);
    if (light == lights.end())
        return false;
    offset = light->second.offset;
    colour = light->second.colour;
    range = light->second.range;
    angle = light->second.angle;
    return true;
}

bool MapSource::getDoorBodyTemplate(const std::string& prototype, std::string& bodyTemplate) const
{
    auto door = doors.find(prototype);
    if (door == doors.end())
        return false;
    bodyTemplate = door->second;
    return true;
}

void loadPngPlugin(Ogre::Root& root)
{
    const char* binary = std::getenv("KORVANE_BINARY_DIR");
    root.loadPlugin(std::string(binary ? binary : "build") + "/lib/imagepng.so");
}

MapWorld::MapWorld()
{
    loadPngPlugin(Ogre::Root::getSingleton());
}

void MapWorld::runGenerators()
{
    while (level().getMapGeneratorCount() > 0)
    {
        level().updateMapGenerators();
        brix::Thread::sleep(POLL_MILLISECONDS);
    }
}

std::string MapWorld::userMapFile(const std::string& name, const char* suffix) const
{
    return userDirectory() + "/" + game::Level::LEVEL_FOLDER + "/" + name + suffix;
}

Ogre::Image MapWorld::readMap(const std::string& path)
{
    Ogre::Image image;
    std::string bytes = readFile(path);
    if (!bytes.empty())
        image.load(Ogre::DataStreamPtr(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false)), "png");
    return image;
}
} // namespace test
