#include "game/multiplayer/commandprocessor.h"
#include "engine/presentation/messagedisplay.h"
#include "game/world/eventdispatcher.h"
#include "toolkit/configuration.h"
#include "toolkit/stringutil.h"

#include <OgreString.h>

#include <vector>

namespace game
{
CommandProcessor::CommandProcessor(brix::MessageDisplay* messages, brix::Configuration* configuration,
                                   EventDispatcher* events)
    : mMessages(messages), mConfiguration(configuration), mEvents(events)
{
}

void CommandProcessor::reply(const std::string& text)
{
    if (mMessages)
        mMessages->writeMessage(text, true);
}

bool CommandProcessor::execute(const std::string& line)
{
    const std::vector<std::string> tokens = Ogre::StringUtil::tokenise(line, "\t\n ", "\"");
    if (tokens.empty())
    {
        reply("Error: empty command");
        return false;
    }
    const std::string& command = tokens[0];
    if (command == "/version")
    {
        reply("Application version: " + brix::StringUtil::versionNumberToString(APPLICATION_VERSION) +
              " network protocol version: " + brix::StringUtil::versionNumberToString(PROTOCOL_VERSION));
        return true;
    }
    if (command == "/set")
    {
        if (tokens.size() != 3)
        {
            reply("Usage: /set <parameter name> <value>");
            return false;
        }
        if (!mConfiguration->set(tokens[1], tokens[2]))
        {
            reply("Error: unable to set parameter '" + tokens[1] + "'");
            return false;
        }
        reply(tokens[1] + "=" + tokens[2]);
        return true;
    }
    if (command == "/get")
    {
        if (tokens.size() != 2)
        {
            reply("Usage: /get <parameter name>");
            return false;
        }
        reply(tokens[1] + "=" + mConfiguration->get(tokens[1]));
        return true;
    }
    if (command == "/save")
    {
        if (tokens.size() != 1)
        {
            reply("Usage: /save");
            return false;
        }
        if (!mConfiguration->save())
        {
            reply("Error: unable to save configuration: " + mConfiguration->getLastError());
            return false;
        }
        return true;
    }
    if (command == "/vobrk" || command == "/ulzem")
    {
        if (mEvents)
            mEvents->post(EventDispatcher::Cheat, command == "/ulzem" ? 1 : 0, command == "/vobrk" ? 1 : 0,
                          "");
        return true;
    }
    reply("Error: Unknown command");
    return false;
}
} // namespace game
