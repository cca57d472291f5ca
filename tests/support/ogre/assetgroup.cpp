#include "support/ogre/assetgroup.h"

#include <OgreResourceGroupManager.h>
#include <OgreTextureManager.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace test
{
const char* const AssetGroup::NAME = "assets";

AssetGroup::AssetGroup()
{
    char* data = realpath(sourcePath("data").c_str(), nullptr);
    for (const char* suffix : {".mesh", ".skeleton", ".png"})
        for (const std::string& name : listData(suffix))
            symlink((std::string(data ? data : "data") + "/" + name).c_str(), mDir.file(name).c_str());
    std::free(data);
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation(mDir.path(), "FileSystem", NAME);
    groups.initialiseResourceGroup(NAME);
}

AssetGroup::~AssetGroup()
{
    Ogre::ResourceGroupManager::getSingleton().destroyResourceGroup(NAME);
}

void AssetGroup::makeLightMapTexture(const std::string& group)
{
    Ogre::TextureManager::getSingleton().createManual("lightmap", group, Ogre::TEX_TYPE_2D, 1, 1, 0,
                                                      Ogre::PF_R8G8B8A8);
}

std::vector<std::string> AssetGroup::listData(const std::string& suffix)
{
    std::vector<std::string> names;
    if (DIR* directory = opendir(sourcePath("data").c_str()))
    {
        while (dirent* entry = readdir(directory))
        {
            std::string name = entry->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace test
