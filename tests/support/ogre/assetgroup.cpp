#include "support/ogre/assetgroup.h"

#include <OgreResourceGroupManager.h>
#include <OgreTextureManager.h>

#include <dirent.h>
#include <sys/stat.h>
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
        for (const std::string& path : listData(suffix))
        {
            for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
                mkdir(mDir.file(path.substr(0, slash)).c_str(), 0755);
            symlink((std::string(data ? data : "data") + "/" + path).c_str(), mDir.file(path).c_str());
        }
    std::free(data);
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation(mDir.path(), "FileSystem", NAME, true);
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
    std::vector<std::string> paths;
    std::vector<std::string> folders = {""};
    while (!folders.empty())
    {
        std::string folder = folders.back();
        folders.pop_back();
        DIR* directory = opendir(sourcePath("data" + folder).c_str());
        if (!directory)
            continue;
        while (dirent* entry = readdir(directory))
        {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string path = folder.empty() ? name : folder.substr(1) + "/" + name;
            if (entry->d_type == DT_DIR)
                folders.push_back(folder + "/" + name);
            else if (name.size() > suffix.size() &&
                     name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                paths.push_back(path);
        }
        closedir(directory);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace test
