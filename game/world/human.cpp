#include "game/world/human.h"
#include "toolkit/xmlelement.h"

namespace game
{
Human::Human(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}

void Human::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mStandHeight = element->getValueAsFloat("standheight", DEFAULT_STAND_HEIGHT);
}

void Human::copyDefinition(const Entity* prototype)
{
    Entity::copyDefinition(prototype);
    mStandHeight = static_cast<const Human*>(prototype)->mStandHeight;
}

Ogre::Vector3 Human::getHeadPoint() const
{
    return mPosition + Ogre::Vector3(0.0f, mStandHeight, 0.0f);
}

Ogre::Vector3 Human::getLowerPoint() const
{
    return mPosition - Ogre::Vector3(0.0f, mStandHeight, 0.0f);
}
} // namespace game
