#pragma once
#include <OgreLog.h>

namespace brix
{
// Carries OGRE's own log lines into the system log: trivial lines at debug level, normal lines
// at info level, warnings and critical lines at error level.
class OgreLogListener : public Ogre::LogListener
{
public:
    virtual ~OgreLogListener() {}

    void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel level, bool maskDebug,
                       const Ogre::String& logName, bool& skipThisMessage) override;
};
} // namespace brix
