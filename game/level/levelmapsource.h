#pragma once
#include <OgreColourValue.h>
#include <OgreVector.h>

#include <string>

namespace game
{
// What the map generators ask of the game world about the entity points of a level: the
// world implements it over its entity prototypes and hands it to the level, which cannot see
// entity classes. Called on the main thread only, while a generator prepares.
class LevelMapSource
{
public:
    virtual ~LevelMapSource() = default;
    // The light a static prototype gives off: offset in the entity's own frame, colour, range
    // and cone half-angle in degrees (0 shines all round). The colour arrives preset to white.
    // False for an unknown prototype, one that is not static, or one without a light.
    virtual bool getStaticLight(const std::string& prototype, Ogre::Vector3& offset,
                                Ogre::ColourValue& colour, float& range, float& angle) const = 0;
    // True when the prototype is a door, with the name of its body template (possibly empty).
    virtual bool getDoorBodyTemplate(const std::string& prototype, std::string& bodyTemplate) const = 0;
};
} // namespace game
