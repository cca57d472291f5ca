#pragma once
#include "support/tempdir.h"

#include <string>
#include <vector>

namespace test
{
// A resource group over the binary assets of the source tree's "data" folder (meshes,
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

    // The file names in the source tree's "data" folder that end in the suffix, sorted.
    static std::vector<std::string> listData(const std::string& suffix);

private:
    TempDir mDir;
};
} // namespace test
