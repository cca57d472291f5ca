#include "engine/core/animatedlight.h"

#include "engine/core/ogrescene.h"

#include <OgreLight.h>
#include <OgreMath.h>
#include <OgreSceneManager.h>

#include <algorithm>
#include <cmath>

// The light keeps its own position besides its node's, as the callers expect.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace brix
{
AnimatedLight::AnimatedLight(Ogre::SceneManager* sceneManager)
    : mSceneManager(sceneManager), mColour(Ogre::ColourValue::White), mAnimationType(NONE),
      mAnimationFrequency(1.0f), mAnimationAmplitude(0.0f), mLight(nullptr), mPhase(0.0f)
{
    mLight = mSceneManager->createLight();
    mLight->setType(Ogre::Light::LT_POINT);
    mLight->setCastShadows(false);
}

AnimatedLight::~AnimatedLight()
{
    mSceneManager->destroyLight(mLight);
}

void AnimatedLight::setPosition(const Ogre::Vector3& position)
{
    mLight->setPosition(position);
}

const Ogre::Vector3& AnimatedLight::getPosition() const
{
    return mLight->getPosition();
}

void AnimatedLight::setColor(const Ogre::ColourValue& colour)
{
    mColour = colour;
    mLight->setDiffuseColour(colour);
    mLight->setSpecularColour(colour);
}

void AnimatedLight::setRange(float range)
{
    OgreScene::setLightRange(mLight, range);
}

float AnimatedLight::getRange() const
{
    return mLight->getAttenuationRange();
}

void AnimatedLight::setAnimation(AnimationType type, float frequency, float amplitude)
{
    mAnimationType = type;
    mAnimationFrequency = frequency;
    mAnimationAmplitude = amplitude;
    mPhase = type == SINE_PULSE ? Ogre::Math::RangeRandom(0.0f, Ogre::Math::TWO_PI) : 0.0f;
}

Ogre::ColourValue AnimatedLight::getCurrentColor() const
{
    return mLight->isVisible() ? mLight->getDiffuseColour() : Ogre::ColourValue::Black;
}

void AnimatedLight::update(float seconds)
{
    float intensity = 1.0f;
    switch (mAnimationType)
    {
    case SINE_PULSE:
        mPhase = std::fmod(mPhase + Ogre::Math::TWO_PI * mAnimationFrequency * seconds, Ogre::Math::TWO_PI);
        intensity = 1.0f - (0.5f * std::sin(mPhase) + 0.5f) * mAnimationAmplitude;
        break;
    case RANDOM_FLICKER:
        mPhase += seconds;
        if (mPhase >= 1.0f / mAnimationFrequency)
        {
            if (Ogre::Math::UnitRandom() > mAnimationAmplitude)
                intensity = 0.0f;
            mPhase = 0.0f;
        }
        break;
    case RAMP:
    {
        // A ramp of no duration is over at once.
        float t = 1.0f;
        if (mAnimationFrequency > 0.0f)
        {
            mPhase = std::min(mPhase + seconds, mAnimationFrequency);
            t = mPhase / mAnimationFrequency;
        }
        intensity = mAnimationAmplitude >= 0.0f ? mAnimationAmplitude * t : (1.0f - t) * -mAnimationAmplitude;
        break;
    }
    default:
        break;
    }
    intensity = std::max(0.0f, std::min(1.0f, intensity));
    mLight->setDiffuseColour(mColour * intensity);
    mLight->setSpecularColour(mColour * intensity);
}
} // namespace brix
