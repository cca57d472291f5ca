#pragma once
#include "game/world/item.h"

#include <OgreColourValue.h>

#include <string>

namespace game
{
// A pickup that gives its contents to the human who takes it: health, rounds (a fraction of a
// full load), vials, keys and shield energy. A "random" package gives only one of its contents
// besides its keys, chosen anew each time it becomes available; each side chooses for itself.
class Package : public Item
{
public:
    // Key bits.
    static constexpr int KEY_A = 1;
    static constexpr int KEY_B = 2;
    static constexpr int KEY_C = 4;
    static constexpr int KEY_D = 8;
    // A human's shield energy runs from 0 to this.
    static constexpr float MAX_SHIELD_ENERGY = 100.0f;

    explicit Package(EntityManager* manager);
    ~Package() override;

    std::string getType() const override { return "package"; }
    Entity* createInstance() override { return new Package(mManager); }
    // The shield energy is kept within 0 to MAX_SHIELD_ENERGY.
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    // Available again, with a new choice of contents when random.
    void reset() override;

    // The amounts given, 0 for a content not chosen this time.
    float getHealth() const { return mHealthGiven ? mHealth : 0.0f; }
    float getRounds() const { return mRoundsGiven ? mRounds : 0.0f; }
    int getVials() const { return mVialsGiven ? mVials : 0; }
    float getShieldEnergy() const { return mShieldEnergyGiven ? mShieldEnergy : 0.0f; }
    // Keys are always given.
    int getKeyMask() const { return mKeyMask; }
    bool isRandom() const { return mRandom; }

    // How the HUD shows a key bit; any other value is white "X".
    static Ogre::ColourValue getKeyColour(int key);
    static std::string getKeyName(int key);

private:
    float mHealth = 0.0f;
    float mRounds = 0.0f;
    int mVials = 0;
    int mKeyMask = 0;
    float mShieldEnergy = 0.0f;
    bool mRandom = false;
    uint8_t mHealthGiven = 1;
    uint8_t mRoundsGiven = 1;
    uint8_t mVialsGiven = 1;
    uint8_t mShieldEnergyGiven = 1;
};
} // namespace game
