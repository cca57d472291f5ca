#pragma once
#include <OgrePlugin.h>

namespace PNG
{
// The plug-in OGRE installs when it loads the library: it owns the one PNGCodec and keeps it
// registered with OGRE's codecs from install to shutdown (or uninstall, whichever comes first).
class __attribute__((visibility("hidden"))) TevraPNGPlugin : public Ogre::Plugin
{
public:
    ~TevraPNGPlugin() override;

    const Ogre::String& getName() const override;
    void install() override;
    void initialise() override;
    void shutdown() override;
    void uninstall() override;
};
} // namespace PNG

// The library's entry points, called by Ogre::Root::loadPlugin and unloadPlugin.
extern "C" void dllStartPlugin();
extern "C" void dllStopPlugin();
