#pragma once
#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class TextureManager;
}

namespace test
{
// A resource group of the resources that the given OGRE scripts (materials, particle systems)
// define, compiled in order with the compiler's errors collected instead of only logged. Make it
// after test::HeadlessOgre (with "Plugin_ParticleFX" for particle scripts) and drop it before.
class ScriptGroup
{
public:
    // Files the scripts name (textures, program sources) are found in the optional folder,
    // which is not searched for scripts of its own.
    ScriptGroup(const std::string& name, const std::vector<std::string>& scriptPaths,
                const std::string& folder = std::string());
    ~ScriptGroup();
    ScriptGroup(const ScriptGroup&) = delete;
    ScriptGroup& operator=(const ScriptGroup&) = delete;

    const std::string& name() const { return mName; }
    // "file:line: message" for every error the compiler reported, and a line for each script
    // that could not be opened.
    const std::vector<std::string>& errors() const { return mErrors; }

private:
    class ErrorListener;

    std::string mName;
    std::vector<std::string> mErrors;
    std::unique_ptr<ErrorListener> mListener;
    Ogre::TextureManager* mOwnTextures = nullptr;
};
} // namespace test
