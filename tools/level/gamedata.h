#pragma once
#include <memory>
#include <string>

namespace Ogre
{
class DefaultHardwareBufferManager;
class LogManager;
class Root;
class SceneManager;
} // namespace Ogre

namespace brix
{
class Simulator;
}

namespace levels
{
// Readies a command's user folder: a new temporary one named after the prefix when none was
// given, and opens the log file when one was. False, with the cause on stderr, when the folder
// cannot be made.
bool prepareUserFolder(std::string& user, const std::string& prefix, const std::string& log);

// What a level needs of the game around it, set up without a window the way the game's
// preload step does: the group "default" indexes "data" (meshes load; scripts are not parsed,
// they would need a render system), the resource group "levels" maps the built-in levels and
// the user's level folder, and a physics world holds the game's materials and block bodies.
// Paths are relative to the source tree's root, which must be the working directory. Make it
// after an OGRE root and drop it before.
class GameData
{
public:
    // The user's level folder is made when missing.
    explicit GameData(const std::string& userDataDirectory);
    ~GameData();
    GameData(const GameData&) = delete;
    GameData& operator=(const GameData&) = delete;

    brix::Simulator& simulator() { return *mSimulator; }
    const std::string& userDataDirectory() const { return mUserDataDirectory; }

private:
    std::string mUserDataDirectory;
    std::unique_ptr<brix::Simulator> mSimulator;
};

// An OGRE root with no render system, for the command-line tools, and the game data on it.
class HeadlessGame
{
public:
    // OGRE's log goes to the file, not to the console.
    HeadlessGame(const std::string& userDataDirectory, const std::string& ogreLog);
    ~HeadlessGame();
    HeadlessGame(const HeadlessGame&) = delete;
    HeadlessGame& operator=(const HeadlessGame&) = delete;

    GameData& data() { return *mData; }
    brix::Simulator& simulator() { return mData->simulator(); }
    // A scene manager of the root, which deletes it: what the game draws is placed in it,
    // though nothing is rendered.
    Ogre::SceneManager* createSceneManager();

private:
    std::unique_ptr<Ogre::LogManager> mLogManager;
    Ogre::Root* mRoot = nullptr;
    Ogre::DefaultHardwareBufferManager* mBuffers = nullptr;
    std::unique_ptr<GameData> mData;
};
} // namespace levels
