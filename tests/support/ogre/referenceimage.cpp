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
Ogre::Image loadPng(std::string bytes)
{
    Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false));
    Ogre::Image image;
    image.load(stream, "png");
    return image;
}
} // namespace

std::string compareWithReference(const std::string& frame, const std::string& reference)
{
    const std::string shot = readFile(frame);
    if (shot.empty())
        return "no frame in " + frame;
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
    {
        std::ofstream(sourcePath(reference), std::ios::binary) << shot;
        return "";
    }
    const std::string expectedBytes = readFile(sourcePath(reference));
    if (expectedBytes.empty())
        return "no reference image " + reference;
    const Ogre::Image expected = loadPng(expectedBytes), actual = loadPng(shot);
    if (expected.getWidth() == actual.getWidth() && expected.getHeight() == actual.getHeight() &&
        expected.getFormat() == actual.getFormat() && expected.getSize() == actual.getSize() &&
        std::memcmp(expected.getData(), actual.getData(), expected.getSize()) == 0)
        return "";
    const char* binary = std::getenv("KORVANE_BINARY_DIR");
    const std::string name = reference.substr(reference.find_last_of('/') + 1);
    const std::string kept = std::string(binary ? binary : "/tmp") + "/" + name;
    std::ofstream(kept, std::ios::binary) << shot;
    return "the frame differs from " + reference + "; it is kept in " + kept;
}
} // namespace test
