#pragma once
#include <OgreColourValue.h>
#include <OgreVector.h>

#include <cstdint>
#include <vector>

namespace Ogre
{
class ManualObject;
}

namespace test
{
// What one section of a manual object holds, read back from its buffers (readable without
// a render system).
struct SectionContents
{
    std::vector<Ogre::Vector3> positions;
    std::vector<Ogre::Vector2> uvs;
    std::vector<Ogre::ColourValue> colours;
    std::vector<uint32_t> indices;

    size_t triangleCount() const { return indices.size() / 3; }
};

SectionContents readSection(const Ogre::ManualObject& object, size_t section = 0);
} // namespace test
