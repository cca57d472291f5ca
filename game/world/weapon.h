#pragma once
#include "game/world/item.h"

#include <OgreColourValue.h>

#include <string>

namespace game
{
// A weapon lying in the world for a human to take into a weapon slot. The entity spins, bobs
// and glows; its prototype is at the same time the record the weapon slots read when a human
// fires: rounds, delays, recoil, the muzzle flash, sounds, the projectile it launches and the
// beam it draws. Every value is read with its default, so a missing float is 0; a definition
// without "projectile" keeps speed 1 and count 1, without "flash" or "beam" all zero.
class Weapon : public Item
{
public:
    // Beam animation kinds.
    static constexpr int BEAM_STRAIGHT = 0;
    static constexpr int BEAM_ELECTRIC = 1;
    // The glow's colour at full strength, and its strength: it pulses twice per turn.
    static const Ogre::Vector4 GLOW_COLOUR;
    static constexpr float GLOW_STRENGTH = 0.35f;
    // The custom shader parameter of sub-entity 0 that carries the glow; the material of a
    // weapon mesh's first submesh draws it in the glow scheme.
    static constexpr size_t GLOW_PARAMETER = 0;
    // Sets the glow of an entity of a weapon's mesh (none for zero); an entity without
    // sub-entities or a null one is passed over.
    static void setGlow(Ogre::Entity* entity, const Ogre::Vector4& glow);

    explicit Weapon(EntityManager* manager);
    ~Weapon() override;

    std::string getType() const override { return "weapon"; }
    Entity* createInstance() override { return new Weapon(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    void interpolate(float frameSeconds, float fraction) override;

    // The glow strength for a bob phase: 0 half of the time.
    static float getGlow(float bobPhase);

    Ogre::Vector3 getHandleOffset() const { return mHandleOffset; }
    float getShootDelay() const { return mShootDelay; }
    float getReloadDelay() const { return mReloadDelay; }
    float getRecoil() const { return mRecoil; }
    std::string getProjectileName() const { return mProjectileName; }
    Ogre::Vector3 getProjectileOffset() const { return mProjectileOffset; }
    float getProjectileSpeed() const { return mProjectileSpeed; }
    int getProjectileCount() const { return mProjectileCount; }
    // Degrees.
    float getSpread() const { return mSpread; }
    Ogre::MeshPtr getFlashMesh() const { return mFlashMesh; }
    Ogre::Vector3 getFlashOffset() const { return mFlashOffset; }
    float getFlashRange() const { return mFlashRange; }
    Ogre::ColourValue getFlashColor() const { return mFlashColor; }
    bool isFlashRotated() const { return mFlashRotated; }
    SamplePtr getShootSound() const { return mShootSound; }
    SamplePtr getLoopSound() const { return mLoopSound; }
    SamplePtr getReloadSound() const { return mReloadSound; }
    int getRounds() const { return mRounds; }
    int getRoundsPerClip() const { return mRoundsPerClip; }
    // Seconds per round of a continuous weapon; 0 for one round per shot.
    float getTimePerRound() const { return mTimePerRound; }
    float getAimMarkerDistance() const { return mAimMarkerDistance; }
    bool isHeavy() const { return mHeavy; }
    float getBarrelLength() const { return mBarrelLength; }
    Ogre::Vector3 getBeamOffset() const { return mBeamOffset; }
    float getBeamRange() const { return mBeamRange; }
    float getBeamWidth() const { return mBeamWidth; }
    std::string getBeamMaterial() const { return mBeamMaterial; }
    float getBeamDamage() const { return mBeamDamage; }
    float getBeamSegmentLength() const { return mBeamSegmentLength; }
    int getBeamAnimation() const { return mBeamAnimation; }
    float getBeamAnimationFrequency() const { return mBeamAnimationFrequency; }
    float getBeamAnimationAmplitude() const { return mBeamAnimationAmplitude; }
    std::string getBeamParticleSystem() const { return mBeamParticleSystem; }

private:
    Ogre::Vector3 mHandleOffset = Ogre::Vector3::ZERO;
    SamplePtr mShootSound;
    SamplePtr mLoopSound;
    SamplePtr mReloadSound;
    float mShootDelay = 1.0f;
    float mReloadDelay = 1.0f;
    float mRecoil = 0.0f;
    std::string mProjectileName;
    Ogre::Vector3 mProjectileOffset = Ogre::Vector3::ZERO;
    float mProjectileSpeed = 1.0f;
    int mProjectileCount = 1;
    float mSpread = 0.0f;
    Ogre::MeshPtr mFlashMesh;
    Ogre::Vector3 mFlashOffset = Ogre::Vector3::ZERO;
    float mFlashRange = 0.0f;
    Ogre::ColourValue mFlashColor = Ogre::ColourValue::Black;
    bool mFlashRotated = false;
    int mRounds = 0;
    int mRoundsPerClip = 0;
    float mTimePerRound = 0.0f;
    float mAimMarkerDistance = 0.0f;
    bool mHeavy = false;
    float mBarrelLength = 0.0f;
    Ogre::Vector3 mBeamOffset = Ogre::Vector3::ZERO;
    float mBeamRange = 0.0f;
    float mBeamWidth = 0.0f;
    std::string mBeamMaterial;
    float mBeamDamage = 0.0f;
    float mBeamSegmentLength = 0.0f;
    int mBeamAnimation = BEAM_STRAIGHT;
    float mBeamAnimationFrequency = 0.0f;
    float mBeamAnimationAmplitude = 0.0f;
    std::string mBeamParticleSystem;
};
} // namespace game
