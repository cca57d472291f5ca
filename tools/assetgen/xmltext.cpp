#include "xmltext.h"

#include "toolkit/xmlelement.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace assetgen
{
std::string XMLText::number(float value)
{
    if (value == 0.0f)
        return "0";
    char text[32];
    for (int digits = 1; digits < 10; ++digits)
    {
        std::snprintf(text, sizeof(text), "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value)
            break;
    }
    return text;
}

std::string XMLText::vector(const Ogre::Vector3& value)
{
    return number(value.x) + " " + number(value.y) + " " + number(value.z);
}

brix::XMLElement* XMLText::add(brix::XMLElement* parent, const std::string& name, const std::string& value)
{
    brix::XMLElement* child = parent->createChild(name);
    child->setValue(value);
    return child;
}

void XMLText::addNotice(brix::XMLElement* root)
{
    root->createChild("!-- Made by tools/assetgen/generate: edit the generator, not this file. --");
}
} // namespace assetgen
