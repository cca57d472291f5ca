#pragma once
#include <OgreVector.h>

#include <string>

namespace brix
{
class XMLElement;
}

namespace assetgen
{
// Small helpers for writing the data files' XML: numbers as the shortest text that reads back
// the same, vectors as three numbers separated by blanks.
class XMLText
{
public:
    static std::string number(float value);
    static std::string vector(const Ogre::Vector3& value);
    // Appends a child with the given text value and returns it.
    static brix::XMLElement* add(brix::XMLElement* parent, const std::string& name, const std::string& value);
    // A comment naming the generator, so no one edits the output by hand.
    static void addNotice(brix::XMLElement* root);
};
} // namespace assetgen
