#include "game/world/door.h"
#include "toolkit/xmlelement.h"

namespace game
{
Door::Door(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_BLOCKDAMAGE;
    mMotionState = 1;
    bindPose();
}

void Door::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
}

void Door::copyDefinition(const Entity* prototype)
{
    Entity::copyDefinition(prototype);
    mBodyTemplateName = static_cast<const Door*>(prototype)->mBodyTemplateName;
}
} // namespace game
