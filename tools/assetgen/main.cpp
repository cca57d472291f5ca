// Makes the game's content: meshes, skeletons, textures, material scripts, the block catalogue
// and the physics files. Run through tools/assetgen/generate, which names the source root.
#include "blockset.h"
#include "entitymodels.h"
#include "humanmodel.h"
#include "materialscript.h"
#include "physicsdata.h"
#include "pngimage.h"

#include <OgreDefaultHardwareBufferManager.h>
#include <OgreLogManager.h>
#include <OgreRoot.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace
{
// The light map a level shows until its own is made: an even half light everywhere.
const unsigned LIGHT_MAP_SIZE = 256;
const uint32_t DEFAULT_LIGHT = 0x808080FF;

bool generate(const std::string& root)
{
    const std::string data = root + "/data";
    ::mkdir(data.c_str(), 0755);
    assetgen::MaterialScript blockMaterials, entityMaterials, humanMaterials;
    if (!assetgen::MaterialScript::savePrograms(data))
        return false;
    if (!assetgen::PngImage(LIGHT_MAP_SIZE, LIGHT_MAP_SIZE, DEFAULT_LIGHT)
             .save(data + "/defaultlightmap.png"))
        return false;
    return assetgen::BlockSet::write(root, blockMaterials) &&
           blockMaterials.save(data + "/blocks.material") &&
           assetgen::EntityModels::write(data, entityMaterials) &&
           entityMaterials.save(data + "/entities.material") &&
           assetgen::HumanModel::write(data, humanMaterials) &&
           humanMaterials.save(data + "/human.material") && assetgen::PhysicsData::write(data);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s SOURCE_ROOT\n", argv[0]);
        return 2;
    }
    // OGRE's log stays quiet: no console, no file.
    auto logs = std::make_unique<Ogre::LogManager>();
    logs->createLog("assetgen-ogre.log", true, false, true);
    auto root = std::make_unique<Ogre::Root>("", "", "");
    auto buffers = std::make_unique<Ogre::DefaultHardwareBufferManager>();
    bool done = false;
    try
    {
        done = generate(argv[1]);
    }
    catch (const std::exception& exception)
    {
        std::fprintf(stderr, "assetgen: %s\n", exception.what());
    }
    root.reset();
    buffers.reset();
    if (!done)
    {
        std::fprintf(stderr, "assetgen: generating into '%s' failed\n", argv[1]);
        return 1;
    }
    return 0;
}
