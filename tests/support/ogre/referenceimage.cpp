#include "support/ogre/referenceimage.h"

#include "support/tempdir.h"

#include <OgreDataStream.h>
#include <OgreImage.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace test
{
namespace
{
Ogre::Image loadPng(const std::string& bytes)
{
    std::string copy = bytes;
    Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(&copy[0], copy.size(), false));
    Ogre::Image image;
    image.load(stream, "png");
    return image;
}
} // namespace

bool matchesReference(const std::string& shot, const std::string& reference, std::string& message)
{
    const std::string shotBytes = readFile(shot);
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
    {
        std::ofstream(reference, std::ios::binary) << shotBytes;
        message = "wrote " + reference;
        return true;
    }
    const std::string referenceBytes = readFile(reference);
    if (referenceBytes.empty())
    {
        message = "no reference image " + reference;
        return false;
    }
    const Ogre::Image expected = loadPng(referenceBytes), actual = loadPng(shotBytes);
    if (expected.getWidth() == actual.getWidth() && expected.getHeight() == actual.getHeight() &&
        expected.getFormat() == actual.getFormat() && expected.getSize() == actual.getSize() &&
        std::memcmp(expected.getData(), actual.getData(), expected.getSize()) == 0)
        return true;
    const char* binary = std::getenv("KORVANE_BINARY_DIR");
    const std::string name = reference.substr(reference.find_last_of('/') + 1);
    const std::string kept = std::string(binary ? binary : "/tmp") + "/" + name;
    std::ofstream(kept, std::ios::binary) << shotBytes;
    message = "the frame differs from " + reference + "; it is kept in " + kept;
    return false;
}
} // namespace test
