#pragma once
#include "support/tempdir.h"

#include <string>
#include <vector>

namespace test
{
// A resource group over the binary assets below the source tree's "data" folder (meshes,
// skeletons, images), without its scripts: those name shader programs, which need a render
// system to parse. Make it after test::HeadlessOgre and drop it before.
class AssetGroup
{
public:
    static const char* const NAME;

    AssetGroup();
    ~AssetGroup();
    AssetGroup(const AssetGroup&) = delete;
    AssetGroup& operator=(const AssetGroup&) = delete;

    // The light-map texture that the block materials read: the game's level makes it before
    // the resource groups load. Code that loads the "data" folder with no level calls this
    // first (needs a render system).
    static void makeLightMapTexture(const std::string& group = "default");

    // The files below the source tree's "data" folder whose names end in the suffix, as paths
    // relative to it (the names OGRE knows them by), sorted.
    static std::vector<std::string> listData(const std::string& suffix);

private:
    TempDir mDir;
};
} // namespace test
