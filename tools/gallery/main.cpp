// Renders the contact sheet of the game's content (see Gallery) into a PNG file.
#include "gallery.h"

#include <OgreException.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s SOURCE_ROOT OUTPUT.png\n", argv[0]);
        return 2;
    }
    try
    {
        assetgen::Gallery gallery(argv[1]);
        if (!gallery.render() || !gallery.save(argv[2]))
        {
            std::fprintf(stderr, "gallery: rendering '%s' failed\n", argv[2]);
            return 1;
        }
    }
    catch (const Ogre::Exception& exception)
    {
        std::fprintf(stderr, "gallery: %s\n", exception.getFullDescription().c_str());
        return 1;
    }
    return 0;
}
