#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <string>
#include <vector>

namespace brix
{
class XMLElement;
}

namespace game
{
// One point of a level file: a block placed in the level, an entity to create from its
// prototype, or a special point (a start, an exit, a hint...). The game world and the editor
// read and write these fields directly; the editor marks a point deleted by setting its type
// to TYPE_DELETED, and saving leaves such points out.
struct LevelPoint
{
    enum Type
    {
        TYPE_DELETED = 0,
        TYPE_BLOCK = 1,
        TYPE_ENTITY = 2,
        TYPE_SPECIAL = 3
    };

    // The names of special points the level itself looks at; the game world interprets more.
    static const char* const SINGLE_PLAYER_START;
    static const char* const MULTIPLAYER_START;
    static const char* const HINT;
    static const char* const SOUND;

    // Every position of a level lies within this distance of the origin along each axis: the
    // editor's cursor reaches 200 in x and y, the shipped levels 99, 12.5 and 1.8. An entity's
    // replicated pose carries x and y within 250, so that is as far as a level reaches; the
    // level scene's render regions could hold about 20,000 in x and y and 5,000 in z.
    static const Ogre::Vector3 WORLD_EXTENT;
    // A point with more positions is refused (the editor gives a moving platform at most 16).
    static const unsigned MAX_POSITIONS = 64;

    unsigned type = TYPE_DELETED;
    // The main position first, then extra ones (the route of a moving platform). Never empty
    // in a loaded level.
    std::vector<Ogre::Vector3> positions;
    Ogre::Quaternion orientation = Ogre::Quaternion::IDENTITY;
    // The block name, the entity prototype name or the special kind.
    std::string name;
    // The initial state of an entity point.
    std::string state;
    // The text of a special point (a hint's words, a sound's sample name).
    std::string value;

    // The main position; zero for a point without positions.
    Ogre::Vector3 getPosition() const;
    bool isSpecial(const char* kind) const;

    // "block", "entity" or "special"; null for a type that is never written.
    static const char* getTypeName(unsigned type);
    // TYPE_DELETED for a word that names no type.
    static unsigned getTypeFromName(const std::string& name);

    // True when the position is a finite one inside WORLD_EXTENT.
    static bool isInsideWorld(const Ogre::Vector3& position);

    // Reads every child of a "point" element whatever the type: positions in order (a
    // malformed or non-finite one reads as zero), orientation (identity when missing,
    // malformed, non-finite or of no length; otherwise made unit length), name, state and
    // value. Returns false, with the cause in the error text, for a type that is not one of the
    // three words, a point without positions or with more than MAX_POSITIONS, or a position
    // outside WORLD_EXTENT; the record is then partial. Values read in place of what the file
    // holds are described in the repairs text, which names the point by its index in the file.
    bool read(const brix::XMLElement& element, unsigned index, std::string& error, std::string& repairs);
    // Appends the point's children in file order; only what its type uses is written.
    void write(brix::XMLElement& element) const;
};
} // namespace game
