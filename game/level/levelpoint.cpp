#include "game/level/levelpoint.h"

#include "toolkit/peertext.h"
#include "toolkit/xmlelement.h"

#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>

namespace game
{
const char* const LevelPoint::SINGLE_PLAYER_START = "spstart";
const char* const LevelPoint::MULTIPLAYER_START = "mpstart";
const char* const LevelPoint::HINT = "hint";
const char* const LevelPoint::SOUND = "sound";
const Ogre::Vector3 LevelPoint::WORLD_EXTENT(250.0f, 250.0f, 100.0f);

namespace
{
const char* const TYPE_NAMES[] = {nullptr, "block", "entity", "special"};
const unsigned TYPE_COUNT = sizeof(TYPE_NAMES) / sizeof(TYPE_NAMES[0]);
// An orientation shorter than this has no direction to keep.
const double MIN_ORIENTATION_LENGTH = 1e-6;
// Lengths this near 1 are what writing four floats as text leaves: such an orientation is
// kept as written, so that files read and saved again keep their values.
const double ORIENTATION_LENGTH_TOLERANCE = 1e-3;

bool isFinite(const Ogre::Vector3& vector)
{
    return std::isfinite(vector.x) && std::isfinite(vector.y) && std::isfinite(vector.z);
}

void addRepair(std::string& repairs, const std::string& prefix, const std::string& repair)
{
    repairs += (repairs.empty() ? prefix : "; ") + repair;
}
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

std::string LevelPoint::quote(const std::string& text)
{
    const std::string cleaned = brix::PeerText::forLog(text);
    if (cleaned.size() <= MAX_QUOTE_SIZE)
        return "'" + cleaned + "'";
    return "'" + brix::PeerText::clean(cleaned, MAX_QUOTE_SIZE) + "...'";
}

bool LevelPoint::checkPositionLimit(std::size_t count, std::string& error)
{
    if (count <= MAX_POSITIONS)
        return true;
    error = "more than the " + std::to_string(MAX_POSITIONS) + " positions a point may have";
    return false;
}

bool LevelPoint::isInsideWorld(const Ogre::Vector3& position)
{
    return isFinite(position) && std::abs(position.x) <= WORLD_EXTENT.x &&
           std::abs(position.y) <= WORLD_EXTENT.y && std::abs(position.z) <= WORLD_EXTENT.z;
}

Ogre::Vector3 LevelPoint::clampToWorld(const Ogre::Vector3& position)
{
    Ogre::Vector3 clamped;
    for (int axis = 0; axis < 3; ++axis)
        clamped[axis] = std::max(-WORLD_EXTENT[axis], std::min(WORLD_EXTENT[axis], position[axis]));
    return clamped;
}

bool LevelPoint::read(const brix::XMLElement& element, unsigned index, std::string& error,
                      std::string& repairs)
{
    const std::string typeName = element.getValue("type", "");
    type = getTypeFromName(typeName);
    if (type == TYPE_DELETED)
    {
        error = "Unsupported level point type " + quote(typeName);
        return false;
    }
    name = element.getValue("name", "");
    state = element.getValue("state", "");
    value = element.getValue("value", "");
    const std::string point = "Level point " + std::to_string(index) + " (" + quote(name) + ")";

    positions.clear();
    for (const brix::XMLElement* child = element.getChild("position"); child;
         child = element.getNextChild(child, "position"))
    {
        Ogre::Vector3 position = Ogre::Vector3::ZERO;
        if (!Ogre::StringConverter::parse(child->getValue(), position))
            position = Ogre::Vector3::ZERO;
        else if (!isFinite(position))
        {
            addRepair(repairs, point + ": ",
                      "position " + std::to_string(positions.size()) + " (" +
                          Ogre::StringConverter::toString(position) + ") is not a number, read as zero");
            position = Ogre::Vector3::ZERO;
        }
        if (!isInsideWorld(position))
        {
            const Ogre::Vector3 edge = clampToWorld(position);
            addRepair(repairs, point + ": ",
                      "position " + std::to_string(positions.size()) + " (" +
                          Ogre::StringConverter::toString(position) + ") lies outside the level world (" +
                          Ogre::StringConverter::toString(-WORLD_EXTENT) + " to " +
                          Ogre::StringConverter::toString(WORLD_EXTENT) + "), read as (" +
                          Ogre::StringConverter::toString(edge) + ")");
            position = edge;
        }
        positions.push_back(position);
    }
    if (positions.empty())
    {
        error = "Level point definition without position(s)";
        return false;
    }

    orientation = Ogre::Quaternion::IDENTITY;
    Ogre::Quaternion read;
    if (Ogre::StringConverter::parse(element.getValue("orientation", ""), read))
    {
        const std::string written = Ogre::StringConverter::toString(read);
        // Summed in double, so that large finite components neither overflow nor vanish.
        const double w = read.w, x = read.x, y = read.y, z = read.z;
        const double length = std::sqrt(w * w + x * x + y * y + z * z);
        if (!std::isfinite(length) || length < MIN_ORIENTATION_LENGTH)
            addRepair(repairs, point + ": ",
                      "orientation (" + written + ") has no direction, read as identity");
        else if (std::abs(length - 1.0) > ORIENTATION_LENGTH_TOLERANCE)
        {
            // Any other length would scale what the point places.
            addRepair(repairs, point + ": ",
                      "orientation (" + written + ") of length " + std::to_string(length) +
                          " made unit length");
            orientation = Ogre::Quaternion(static_cast<float>(w / length), static_cast<float>(x / length),
                                           static_cast<float>(y / length), static_cast<float>(z / length));
        }
        else
            orientation = read;
    }
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
