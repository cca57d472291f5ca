#include "PlugIns/PNGCodec/tevrapngplugin.h"
#include "PlugIns/PNGCodec/pngcodec.h"

#include <OgreRoot.h>

namespace PNG
{
namespace
{
const Ogre::String NAME = "TevraPNGPlugin";

TevraPNGPlugin* thePlugin = nullptr;
PNGCodec* theCodec = nullptr;

// Takes the codec out of OGRE's registry, unless another codec has taken its type since.
void unregisterCodec()
{
    if (theCodec && Ogre::Codec::isCodecRegistered(theCodec->getType()) &&
        Ogre::Codec::getCodec(theCodec->getType()) == theCodec)
        Ogre::Codec::unregisterCodec(theCodec);
}
} // namespace

TevraPNGPlugin::~TevraPNGPlugin() {}

const Ogre::String& TevraPNGPlugin::getName() const
{
    return NAME;
}

void TevraPNGPlugin::install()
{
    theCodec = new PNGCodec();
    Ogre::Codec::registerCodec(theCodec);
}

void TevraPNGPlugin::initialise() {}

void TevraPNGPlugin::shutdown()
{
    unregisterCodec();
}

void TevraPNGPlugin::uninstall()
{
    // OGRE calls shutdown only for a Root that was initialised: without it, the registry
    // would keep a pointer to the deleted codec.
    unregisterCodec();
    delete theCodec;
    theCodec = nullptr;
}
} // namespace PNG

void dllStartPlugin()
{
    PNG::thePlugin = OGRE_NEW PNG::TevraPNGPlugin();
    Ogre::Root::getSingleton().installPlugin(PNG::thePlugin);
}

void dllStopPlugin()
{
    Ogre::Root::getSingleton().uninstallPlugin(PNG::thePlugin);
    OGRE_DELETE PNG::thePlugin;
    PNG::thePlugin = nullptr;
}
