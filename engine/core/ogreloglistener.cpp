#include "engine/core/ogreloglistener.h"

#include "toolkit/log.h"

namespace brix
{
void OgreLogListener::messageLogged(const Ogre::String& message, Ogre::LogMessageLevel level, bool maskDebug,
                                    const Ogre::String& logName, bool& skipThisMessage)
{
    switch (level)
    {
    case Ogre::LML_TRIVIAL:
        Log::debug(message);
        break;
    case Ogre::LML_NORMAL:
        Log::info(message);
        break;
    case Ogre::LML_WARNING:
    case Ogre::LML_CRITICAL:
        Log::error(message);
        break;
    default:
        break;
    }
}
} // namespace brix
