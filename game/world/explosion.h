#pragma once
#include "game/world/entity.h"

#include <string>
#include <vector>

namespace Ogre
{
class ParticleEmitter;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AnimatedLight;
}

namespace game
{
// A short-lived blast. On its first authoritative tick it damages and pushes every entity in
// range that it can reach and throws its fragments (entities of their own); on every side it
// shows flame, smoke, debris, light, sound and a scorch decal until its duration runs out.
// Creators turn its x axis to point up.
class Explosion : public Entity
{
public:
    // Distance falloff: full effect within a third of the range, none at the range.
    static constexpr float FALLOFF_SLOPE = 1.5f;
    static constexpr float SOUND_VOLUME = 2.0f;
    static constexpr int SOUND_PRIORITY = 2000;
    // Fragments are purged at once when they die.
    static constexpr uint32_t FRAGMENT_FLAGS = RUNTIME_PURGE_AT_ONCE;

    struct TFragment
    {
        std::string name;
        float linearSpeed = 0.0f;
        float angularSpeed = 0.0f;
        // Degrees.
        float spread = 0.0f;
    };

    explicit Explosion(EntityManager* manager);
    ~Explosion() override;

    std::string getType() const override { return "explosion"; }
    Entity* createInstance() override { return new Explosion(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    void spawn() override;
    void remove() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;

    bool isBlastDone() const { return mBlastDone; }
    unsigned getAgeTicks() const { return mAgeTicks; }

private:
    void blast();
    void throwFragments();
    void splat();
    // Whether the blast reaches the target past level geometry and "blockdamage" entities.
    bool isExposed(const Entity* target);

    // Definition.
    std::string mFlame;
    std::string mSmoke;
    std::string mDebris;
    float mSmokeDelay = 0.0f;
    float mFragmentRadius = 0.0f;
    int mFragmentCount = 0;
    std::vector<TFragment> mFragments;
    TLight mLight;
    SoundList mSounds;
    float mRange = 0.0f;
    float mDamage = 0.0f;
    float mImpulse = 0.0f;
    float mRadius = 0.0f;
    float mDuration = 0.0f;
    std::string mSplat;
    float mSplatDelay = 0.0f;
    int mSplatCount = 1;
    float mSplatDistance = 0.2f;

    // Run time.
    Ogre::SceneNode* mNode = nullptr;
    Ogre::SceneNode* mLightNode = nullptr;
    brix::AnimatedLight* mAnimatedLight = nullptr;
    Ogre::ParticleEmitter* mFlameEmitter = nullptr;
    Ogre::ParticleEmitter* mSmokeEmitter = nullptr;
    Ogre::ParticleEmitter* mDebrisEmitter = nullptr;
    unsigned mAgeTicks = 0;
    float mSmokeTimer = 0.0f;
    bool mSplatDone = false;
    bool mBlastDone = false;
};
} // namespace game
