#pragma once
#include <OgreColourValue.h>
#include <OgreVector.h>

namespace Ogre
{
class Light;
class SceneManager;
} // namespace Ogre

namespace brix
{
// A point light whose intensity pulses, flickers or ramps over time; update() drives it.
// The light is made by the constructor and destroyed with the object.
class AnimatedLight
{
public:
    enum AnimationType
    {
        NONE = 0,
        // Dims by up to the amplitude, frequency times a second.
        SINE_PULSE = 1,
        // Once every 1 / frequency seconds goes dark for one update, with probability 1 - amplitude.
        RANDOM_FLICKER = 2,
        // Over frequency seconds rises from 0 to the amplitude, or, with a negative amplitude,
        // falls from its magnitude to 0; then holds.
        RAMP = 3
    };

    explicit AnimatedLight(Ogre::SceneManager* sceneManager);
    virtual ~AnimatedLight();
    AnimatedLight(const AnimatedLight&) = delete;
    AnimatedLight& operator=(const AnimatedLight&) = delete;

    void setPosition(const Ogre::Vector3& position);
    const Ogre::Vector3& getPosition() const;
    // The base colour, scaled by the animated intensity.
    void setColor(const Ogre::ColourValue& colour);
    const Ogre::ColourValue& getColor() const { return mColour; }
    void setRange(float range);
    float getRange() const;

    void setAnimation(AnimationType type, float frequency, float amplitude);
    AnimationType getAnimationType() const { return mAnimationType; }
    float getAnimationFrequency() const { return mAnimationFrequency; }
    float getAnimationAmplitude() const { return mAnimationAmplitude; }

    // The colour the light shines with now; black while it is hidden.
    Ogre::ColourValue getCurrentColor() const;
    Ogre::Light* getMovableObject() const { return mLight; }

    void update(float seconds);

private:
    Ogre::SceneManager* mSceneManager;
    Ogre::ColourValue mColour;
    AnimationType mAnimationType;
    float mAnimationFrequency;
    float mAnimationAmplitude;
    Ogre::Light* mLight;
    // An angle for the pulse, seconds for flicker and ramp.
    float mPhase;
};
} // namespace brix
