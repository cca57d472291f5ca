#pragma once
#include "game/multiplayer/server.h"

#include <string>

namespace brix
{
class Configuration;
class MessageDisplay;
} // namespace brix

namespace game
{
class EventDispatcher;

// Runs the commands a player types on the game's command line: the versions, reading,
// changing and saving configuration parameters, and the two single-player cheats. Replies go
// to the message display. Tokens part at blanks, tabs and newlines; a part in double quotes is
// one token. Commands compare exactly, case included. Main thread only.
class CommandProcessor
{
public:
    static constexpr unsigned int APPLICATION_VERSION = Server::APPLICATION_VERSION;
    static constexpr unsigned int PROTOCOL_VERSION = Server::PROTOCOL_VERSION;

    // The services are not owned and must outlive the processor.
    CommandProcessor(brix::MessageDisplay* messages, brix::Configuration* configuration,
                     EventDispatcher* events);
    virtual ~CommandProcessor() = default;
    CommandProcessor(const CommandProcessor&) = delete;
    CommandProcessor& operator=(const CommandProcessor&) = delete;

    // True when a command ran; false for an empty line, an unknown command, a wrong token
    // count (answered with the usage) or a parameter the configuration refused.
    bool execute(const std::string& line);

private:
    void reply(const std::string& text);

    brix::MessageDisplay* mMessages;
    brix::Configuration* mConfiguration;
    EventDispatcher* mEvents;
};
} // namespace game
