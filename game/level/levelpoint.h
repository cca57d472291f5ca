#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstddef>
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

    // Every position of a level lies within this distance of the origin along each axis. An
    // entity's replicated pose carries x and y only this far, and the depth leaves blocks room
    // well before and behind the play plane. The editor keeps what it places inside, and a
    // file's position beyond it is read at its edge.
    static const Ogre::Vector3 WORLD_EXTENT;
    // A point with more positions is refused (the editor gives a moving platform at most 16).
    static constexpr unsigned MAX_POSITIONS = 64;
    // The most bytes of a point's name or type that a refusal or repair quotes.
    static constexpr unsigned MAX_QUOTE_SIZE = 32;

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

    // A name or type from a file as the reader's messages quote it: cleaned (PeerText), cut to
    // MAX_QUOTE_SIZE bytes ("..." marks the cut) and in single quotes; the file may come from a
    // stranger, and the message may be shown.
    static std::string quote(const std::string& text);

    // False, with the refusal every reader and the writer of levels give, for more than
    // MAX_POSITIONS positions.
    static bool checkPositionLimit(std::size_t count, std::string& error);

    // True when the position is a finite one inside WORLD_EXTENT.
    static bool isInsideWorld(const Ogre::Vector3& position);
    // The nearest position inside WORLD_EXTENT: a finite position beyond it is brought to its edge.
    static Ogre::Vector3 clampToWorld(const Ogre::Vector3& position);

    // Reads every child of a "point" element whatever the type: positions in order (a
    // malformed or non-finite one reads as zero, one outside WORLD_EXTENT at its edge),
    // orientation (identity when missing, malformed, non-finite or of no length; otherwise made
    // unit length), name, state and value. Returns false, with the cause in the error text, for
    // a type that is not one of the three words or a point without positions; the record is
    // then partial. Any count of positions is read: the level's readers and its writer hold it
    // to checkPositionLimit. Values read in place of what the file holds are described in the
    // repairs text, which names the point by its index in the file.
    bool read(const brix::XMLElement& element, unsigned index, std::string& error, std::string& repairs);
    // Appends the point's children in file order; only what its type uses is written.
    void write(brix::XMLElement& element) const;
};
} // namespace game
