#include "game/world/package.h"
#include "toolkit/math.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>

namespace game
{
Package::Package(EntityManager* manager) : Item(manager) {}

Package::~Package() {}

void Package::load(const brix::XMLElement* element)
{
    Item::load(element);
    mHealth = element->getValueAsFloat("health", 0.0f);
    mRounds = element->getValueAsFloat("rounds", 0.0f);
    mVials = element->getValueAsInteger("vials", 0);
    mKeyMask = element->getValueAsInteger("keymask", 0);
    mShieldEnergy =
        Ogre::Math::Clamp(element->getValueAsFloat("shieldenergy", 0.0f), 0.0f, MAX_SHIELD_ENERGY);
    mRandom = element->getValueAsBoolean("random", false);
}

void Package::copyDefinition(const Entity* entity)
{
    Item::copyDefinition(entity);
    const Package* prototype = static_cast<const Package*>(entity);
    mHealth = prototype->mHealth;
    mRounds = prototype->mRounds;
    mVials = prototype->mVials;
    mKeyMask = prototype->mKeyMask;
    mShieldEnergy = prototype->mShieldEnergy;
    mRandom = prototype->mRandom;
}

void Package::reset()
{
    Item::reset();
    if (!mRandom)
    {
        mHealthGiven = mRoundsGiven = mVialsGiven = mShieldEnergyGiven = 1;
        return;
    }
    mHealthGiven = mRoundsGiven = mVialsGiven = mShieldEnergyGiven = 0;
    uint8_t* candidates[4];
    unsigned count = 0;
    if (mHealth > 0.0f)
        candidates[count++] = &mHealthGiven;
    if (mRounds > 0.0f)
        candidates[count++] = &mRoundsGiven;
    if (mVials > 0)
        candidates[count++] = &mVialsGiven;
    if (mShieldEnergy > 0.0f)
        candidates[count++] = &mShieldEnergyGiven;
    if (count > 0)
        *candidates[brix::Math::random(count)] = 1;
}

Ogre::ColourValue Package::getKeyColour(int key)
{
    switch (key)
    {
    case KEY_A:
        return Ogre::ColourValue(0.8f, 0.0f, 0.0f, 1.0f);
    case KEY_B:
        return Ogre::ColourValue(0.0f, 0.8f, 0.0f, 1.0f);
    case KEY_C:
        return Ogre::ColourValue(0.0f, 0.0f, 0.9f, 1.0f);
    case KEY_D:
        return Ogre::ColourValue(0.8f, 0.8f, 0.0f, 1.0f);
    default:
        return Ogre::ColourValue::White;
    }
}

std::string Package::getKeyName(int key)
{
    switch (key)
    {
    case KEY_A:
        return "A";
    case KEY_B:
        return "B";
    case KEY_C:
        return "C";
    case KEY_D:
        return "D";
    default:
        return "X";
    }
}
} // namespace game
