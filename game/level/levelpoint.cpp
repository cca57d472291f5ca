#include "game/level/levelpoint.h"

#include "toolkit/xmlelement.h"

#include <OgreStringConverter.h>

namespace game
{
const char* const LevelPoint::SINGLE_PLAYER_START = "spstart";
const char* const LevelPoint::MULTIPLAYER_START = "mpstart";
const char* const LevelPoint::HINT = "hint";
const char* const LevelPoint::SOUND = "sound";

namespace
{
const char* const TYPE_NAMES[] = {nullptr, "block", "entity", "special"};
const unsigned TYPE_COUNT = sizeof(TYPE_NAMES) / sizeof(TYPE_NAMES[0]);
} // namespace

Ogre::Vector3 LevelPoint::getPosition() const
{
    return positions.empty() ? Ogre::Vector3::ZERO : positions.front();
}

bool LevelPoint::isSpecial(const char* kind) const
{
    return type == TYPE_SPECIAL && name == kind;
}

const char* LevelPoint::getTypeName(unsigned type)
{
    return type < TYPE_COUNT ? TYPE_NAMES[type] : nullptr;
}

unsigned LevelPoint::getTypeFromName(const std::string& name)
{
    for (unsigned type = TYPE_BLOCK; type < TYPE_COUNT; ++type)
        if (name == TYPE_NAMES[type])
            return type;
    return TYPE_DELETED;
}

bool LevelPoint::read(const brix::XMLElement& element, std::string& error)
{
    const std::string typeName = element.getValue("type", "");
    type = getTypeFromName(typeName);
    if (type == TYPE_DELETED)
    {
        error = "Unsupported level point type '" + typeName + "'";
        return false;
    }
    positions.clear();
    for (const brix::XMLElement* child = element.getChild("position"); child;
         child = element.getNextChild(child, "position"))
    {
        Ogre::Vector3 position = Ogre::Vector3::ZERO;
        if (!Ogre::StringConverter::parse(child->getValue(), position))
            position = Ogre::Vector3::ZERO;
        positions.push_back(position);
    }
    if (positions.empty())
    {
        error = "Level point definition without position(s)";
        return false;
    }
    orientation = Ogre::Quaternion::IDENTITY;
    if (!Ogre::StringConverter::parse(element.getValue("orientation", ""), orientation))
        orientation = Ogre::Quaternion::IDENTITY;
    name = element.getValue("name", "");
    state = element.getValue("state", "");
    value = element.getValue("value", "");
    return true;
}

void LevelPoint::write(brix::XMLElement& element) const
{
    element.createChild("type")->setValue(getTypeName(type));
    if (type == TYPE_ENTITY && !state.empty())
        element.createChild("state")->setValue(state);
    if (type == TYPE_SPECIAL && !value.empty())
        element.createChild("value")->setValue(value);
    for (const Ogre::Vector3& position : positions)
        element.createChild("position")->setValue(Ogre::StringConverter::toString(position));
    if (type != TYPE_SPECIAL)
        element.createChild("orientation")->setValue(Ogre::StringConverter::toString(orientation));
    element.createChild("name")->setValue(name);
}
} // namespace game
