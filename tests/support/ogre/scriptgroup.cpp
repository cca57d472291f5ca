#include "support/ogre/scriptgroup.h"

#include <OgreResourceGroupManager.h>
#include <OgreScriptCompiler.h>
#include <OgreTextureManager.h>

#include <fstream>

namespace test
{
class ScriptGroup::ErrorListener : public Ogre::ScriptCompilerListener
{
public:
    explicit ErrorListener(std::vector<std::string>& errors) : mErrors(errors) {}

    void handleError(Ogre::ScriptCompiler*, Ogre::uint32, const Ogre::String& file, int line,
                     const Ogre::String& message) override
    {
        mErrors.push_back(file + ":" + std::to_string(line) + ": " + message);
    }

private:
    std::vector<std::string>& mErrors;
};

ScriptGroup::ScriptGroup(const std::string& name, const std::vector<std::string>& scriptPaths,
                         const std::string& folder)
    : mName(name), mListener(std::make_unique<ErrorListener>(mErrors))
{
    // Material scripts name textures, which needs a texture manager even when nothing loads.
    if (!Ogre::TextureManager::getSingletonPtr())
        mOwnTextures = new Ogre::DefaultTextureManager();
    Ogre::ScriptCompilerManager::getSingleton().setListener(mListener.get());
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.createResourceGroup(name);
    if (!folder.empty())
        groups.addResourceLocation(folder, "FileSystem", name);
    for (const std::string& path : scriptPaths)
    {
        auto* file = new std::ifstream(path, std::ios::binary);
        if (!*file)
        {
            delete file;
            mErrors.push_back(path + ": cannot be opened");
            continue;
        }
        Ogre::DataStreamPtr stream(new Ogre::FileStreamDataStream(path, file, true));
        Ogre::ScriptCompilerManager::getSingleton().parseScript(stream, name);
    }
}

ScriptGroup::~ScriptGroup()
{
    Ogre::ScriptCompilerManager::getSingleton().setListener(nullptr);
    Ogre::ResourceGroupManager::getSingleton().destroyResourceGroup(mName);
    delete mOwnTextures;
}
} // namespace test
