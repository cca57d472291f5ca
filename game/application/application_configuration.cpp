#include "game/application/application.h"

#include "engine/presentation/decalmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuitem.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

namespace game
{
namespace
{
// A configuration parameter: b boolean, i integer, f float, s string (limits are lengths).
struct TParameterDefinition
{
    const char* name;
    char type;
    double number;
    const char* text;
    double minimum;
    double maximum;
    unsigned version;
};

const unsigned V0_22_0 = 0x00160000;
const unsigned V0_23_0 = 0x00170000;

// Every setting of the game, in declaration order; the default service addresses are the
// local services of tools/services.
const TParameterDefinition PARAMETERS[] = {
    {"system/loglevel", 's', 0, "info", 0, 8, 0},
    {"system/physicsdebug", 'b', 0, nullptr, 0, 0, 0},
    {"video/width", 'i', 1280, nullptr, 320, 8192, 0},
    {"video/height", 'i', 720, nullptr, 200, 4096, 0},
    {"video/fullscreen", 'b', 0, nullptr, 0, 0, 0},
    {"video/fsaa", 'i', 0, nullptr, 0, 64, 0},
    {"video/filters", 'b', 1, nullptr, 0, 0, 0},
    {"video/decalcount", 'i', 1000, nullptr, 0, 5000, 0},
    {"audio/quality", 'i', 0, nullptr, 0, 1, 0},
    {"audio/music", 'b', 1, nullptr, 0, 0, 0},
    {"audio/filters", 'b', 1, nullptr, 0, 0, 0},
    {"audio/audiblerange", 'f', 25.0, nullptr, 5.0, 100.0, V0_22_0},
    {"network/packetrate", 'i', 20, nullptr, 10, 30, 0},
    {"network/versioncheckurl", 's', 0, "http://localhost/api/v1/updates", 0, 256, V0_23_0},
    {"network/highscoresurl", 's', 0, "http://localhost/api/v1/highscores", 0, 256, V0_23_0},
    {"network/onlinehighscores", 'b', 1, nullptr, 0, 0, V0_23_0},
    {"network/announceserver", 's', 0, "localhost:4000", 0, 128, 0},
    {"network/punchthroughserver", 's', 0, "localhost:4000", 0, 128, 0},
    {"network/fileshareserver", 's', 0, "localhost:4021", 0, 128, 0},
    {"network/visiblewidth", 'f', 30.0, nullptr, 5.0, 50.0, V0_22_0},
    {"network/visibleheight", 'f', 20.0, nullptr, 5.0, 50.0, V0_22_0},
    {"network/prediction", 'f', 1.0, nullptr, 0.0, 1.0, 0},
    {"player1/name", 's', 0, "", 0, 60, 0},
    {"player1/skin", 'i', 0, nullptr, 0, 3, 0},
    {"player1/controller", 'i', 1, nullptr, 0, 3, 0},
    {"player1/gamepadlayout", 's', 0, "[Automatic]", 0, 64, 0},
    {"player2/name", 's', 0, "Player 2", 0, 60, 0},
    {"player2/skin", 'i', 0, nullptr, 0, 3, 0},
    {"player2/controller", 'i', 2, nullptr, 0, 3, 0},
    {"player2/gamepadlayout", 's', 0, "[Automatic]", 0, 64, 0},
    {"misc/controllerinfo", 'i', 16, nullptr, 0, 255, 0},
    {"misc/level", 's', 0, "", 0, 15, 0},
    {"misc/sharepassword", 's', 0, "", 0, 15, 0},
    // Minimum above maximum: any value is taken.
    {"misc/versionchecktime", 'i', 0, nullptr, 0, -1, 0},
    {"misc/latestversion", 's', 0, "", 0, 16, 0},
    {"misc/latestversionurl", 's', 0, "", 0, 256, 0},
    {"misc/message", 's', 0, "", 0, Application::MAX_VERSION_MESSAGE_SIZE, 0},
};

const char* const SHARE_PASSWORD_ELEMENT = "sharepassword";
// Local time in the name of an unreadable configuration file kept aside
// ("configuration.xml.20261209-093012").
const char* const KEPT_CONFIGURATION_TIME_FORMAT = "%Y%m%d-%H%M%S";

// The share password guards the levels the player has uploaded and cannot be typed again from
// memory: it is taken from a configuration file that does not read as a whole when its own
// element still reads. Empty when there is none.
std::string readSharePassword(const std::string& path)
{
    // Only a regular file with something in it is read (a pipe in its place would never end).
    if (brix::File::fileSize(path) == 0)
        return std::string();
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The value ends where the next tag begins, even one that is cut short or misspelt; a value
    // that runs to the end of the file may be cut and is not taken.
    const std::string open = std::string("<") + SHARE_PASSWORD_ELEMENT + ">";
    const std::size_t start = text.find(open);
    const std::size_t end = start == std::string::npos ? start : text.find('<', start + open.size());
    brix::XMLElement element("");
    if (end == std::string::npos ||
        element.parse(text.substr(start, end - start) + "</" + SHARE_PASSWORD_ELEMENT + ">") < 0)
        return std::string();
    return element.getValue();
}
} // namespace

void Application::declareParameters()
{
    for (const TParameterDefinition& parameter : PARAMETERS)
    {
        switch (parameter.type)
        {
        case 'b':
            mConfiguration.addBooleanParameter(parameter.name, parameter.number != 0.0, parameter.version);
            break;
        case 'i':
            mConfiguration.addIntegerParameter(parameter.name, static_cast<int>(parameter.number),
                                               static_cast<int>(parameter.minimum),
                                               static_cast<int>(parameter.maximum), parameter.version);
            break;
        case 'f':
            mConfiguration.addFloatParameter(parameter.name, static_cast<float>(parameter.number),
                                             static_cast<float>(parameter.minimum),
                                             static_cast<float>(parameter.maximum), parameter.version);
            break;
        default:
            mConfiguration.addStringParameter(parameter.name, parameter.text,
                                              static_cast<int>(parameter.minimum),
                                              static_cast<int>(parameter.maximum), parameter.version);
        }
    }
}

void Application::updateLogLevel()
{
    const std::string& level = mConfiguration.getString("system/loglevel");
    if (level == "debug")
        brix::Log::setLevel(brix::Log::DEBUG);
    else if (level == "info")
        brix::Log::setLevel(brix::Log::INFO);
    else if (level == "error")
        brix::Log::setLevel(brix::Log::ERROR);
    else
        brix::Log::error("Invalid log level: " + level);
}

// ---- Configuration -------------------------------------------------------------------------

void Application::onParameterChange(const std::string& name)
{
    brix::Log::debug("onParameterChange('%s')", name.c_str());
    if (name == "system/loglevel")
        updateLogLevel();
    else if (name == "video/width" || name == "video/height" || name == "video/fullscreen" ||
             name == "video/fsaa")
        mVideoChanged = true;
    else if (name == "video/decalcount")
        mDecalManager->setMaximumDecalCount(static_cast<uint32_t>(mConfiguration.getInteger(name)));
    else if (name == "audio/quality" || name == "audio/filters")
        mAudioChanged = true;
    else if (name == "network/packetrate")
    {
        const unsigned int interval =
            static_cast<unsigned int>(1.0f / static_cast<float>(mConfiguration.getInteger(name)) * 1000.0f);
        mClients[0]->setUpdateInterval(interval);
        mServer->setUpdateInterval(interval);
    }
    else if (name == "network/punchthroughserver")
    {
        mServer->setPunchThroughServer(mConfiguration.getString(name));
        mClients[0]->setPunchThroughServer(mConfiguration.getString(name));
    }
    else if (name == "player1/name" || name == "player1/skin" || name == "player2/name" ||
             name == "player2/skin")
    {
        const std::string player = name.substr(0, name.find('/'));
        mClients[player == "player1" ? 0 : 1]->configurePlayer(
            mConfiguration.getString(player + "/name"),
            static_cast<unsigned int>(std::max(0, mConfiguration.getInteger(player + "/skin"))));
    }
    else if (name == "network/announceserver")
    {
        mServer->setAnnounceServer(mConfiguration.getString(name));
        const bool none = mConfiguration.getString(name).empty();
        const int state = none ? brix::OgreMenuItem::STATE_DISABLED : brix::OgreMenuItem::STATE_NORMAL;
        setMenuItemState("join", "browse", state);
        setMenuItemState("host", "name", state);
        getMenuItem("host", "name")->setValue(std::string());
    }
    else if (name == "network/visiblewidth" || name == "network/visibleheight")
        mEntityManager->setVisibleArea(mConfiguration.getFloat("network/visiblewidth"),
                                       mConfiguration.getFloat("network/visibleheight"));
    else if (name == "network/prediction")
        mPrediction = mConfiguration.getFloat(name);
    else if (name == "network/onlinehighscores")
        mHighScoreManager->setUploadEnabled(mConfiguration.getBoolean(name));
    else if (name == "misc/controllerinfo")
        mControllerInfo = static_cast<unsigned int>(mConfiguration.getInteger(name));
    else if (name == "misc/level")
    {
        // The level after the last one played is offered first.
        const std::string& level = mConfiguration.getString(name);
        const std::string next = mLevel->getLevelCache()->getNext(level);
        if (!next.empty() && mLevel->getLevelCache()->hasLevel(next))
            getMenuItem("sp", "level")->setValue(next);
        else
            getMenuItem("sp", "level")->setValue(level.empty() ? std::string("sp01") : level);
    }
    onViewParameterChange(name);
}

void Application::loadConfiguration()
{
    const std::string path = brix::File::filePath(getUserDataDirectory(), CONFIGURATION_FILE);
    if (mConfiguration.load(path))
        return;
    // What the player set is still in the file, only not readable as a whole: it is kept for
    // them to mend or copy from, and the game starts on the defaults beside it.
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, KEPT_CONFIGURATION_TIME_FORMAT, &local);
    const std::string kept = path + "." + stamp;
    const std::string password = readSharePassword(path);
    if (!password.empty())
        mConfiguration.setString("misc/sharepassword", password);
    const std::string seeLog = brix::Log::isOpen() ? " (see application.log)" : "";
    if (!brix::File::renameFile(path, kept))
    {
        mStartNotice = "Configuration '" + path + "' unreadable" + seeLog + ", using defaults";
        return;
    }
    brix::Log::info("Unreadable configuration file kept as '%s'", kept.c_str());
    mConfigurationKeptAside = true;
    mStartNotice = "Configuration unreadable" + seeLog + ", kept as '" + kept + "'";
}

bool Application::saveConfiguration()
{
    if (mConfiguration.save())
        return true;
    mMessageDisplay->writeMessage("Settings could not be saved: " + mConfiguration.getLastError(), true);
    return false;
}

void Application::ensureSharePassword()
{
    if (!mConfiguration.getString("misc/sharepassword").empty())
    {
        // A new file beside the one kept aside, so that the next start finds the password again.
        if (mConfigurationKeptAside)
            saveConfiguration();
        return;
    }
    // The system's random source: a password guessed from the start time would not protect much.
    std::random_device random;
    std::uniform_int_distribution<int> letter(0, 25);
    std::string password;
    for (unsigned int i = 0; i < SHARE_PASSWORD_LENGTH; ++i)
        password += static_cast<char>('a' + letter(random));
    mConfiguration.setString("misc/sharepassword", password);
    saveConfiguration();
}

} // namespace game
