#include "game/world/entitymapsource.h"

#include "game/world/door.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"

namespace game
{
bool EntityMapSource::getStaticLight(const std::string& prototype, Ogre::Vector3& offset,
                                     Ogre::ColourValue& colour, float& range, float& angle) const
{
    const Entity* entity = mEntities.getPrototype(prototype);
    return entity && (entity->getFlags() & Entity::ATTRIBUTE_STATIC) &&
           entity->getLight(offset, colour, range, angle);
}

bool EntityMapSource::getDoorBodyTemplate(const std::string& prototype, std::string& bodyTemplate) const
{
    const Entity* entity = mEntities.getPrototype(prototype);
    if (!entity || entity->getType() != "door")
        return false;
    bodyTemplate = static_cast<const Door*>(entity)->getBodyTemplateName();
    return true;
}
} // namespace game
