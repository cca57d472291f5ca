#include "game/world/weaponbeam.h"
#include "engine/core/simulator.h"
#include "engine/presentation/ogreparticlepool.h"

#include <OgreBillboardChain.h>
#include <OgreMath.h>
#include <OgreParticleEmitter.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cmath>

namespace game
{
WeaponBeam::WeaponBeam(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent,
                       brix::OgreParticlePool* particles, brix::Simulator* simulator,
                       const std::string& material, const std::string& particleSystem, float width,
                       float segmentLength)
    : mSceneManager(sceneManager), mParticlePool(particles), mSimulator(simulator), mParent(parent),
      mWidth(width), mSegmentLength(segmentLength)
{
    mJitter.fill(Ogre::Vector3::ZERO);
    if (mSceneManager && mParent)
    {
        mChain = mSceneManager->createBillboardChain();
        mChain->setMaxChainElements(MAX_ELEMENTS);
        mChain->setNumberOfChains(1);
        mChain->setUseVertexColours(true);
        if (!material.empty())
            mChain->setMaterialName(material);
        mParent->attachObject(mChain);
    }
    if (mParticlePool && !particleSystem.empty())
    {
        mEmitter = mParticlePool->createEmitter(particleSystem, Ogre::Vector3::ZERO);
        if (mEmitter)
            mEmitter->setEnabled(false);
    }
}

WeaponBeam::~WeaponBeam()
{
    if (mChain)
    {
        mChain->detachFromParent();
        mSceneManager->destroyBillboardChain(mChain);
    }
    if (mEmitter)
        mParticlePool->destroyEmitter(mEmitter);
}

void WeaponBeam::setAnimation(unsigned kind, float frequency, float amplitude)
{
    mAnimation = kind;
    mAnimationFrequency = frequency;
    mAnimationAmplitude = amplitude;
    mAnimationPhase = 0.0f;
}

void WeaponBeam::trace(const Ogre::Vector3& origin, const Ogre::Vector3& direction)
{
    float previous = mHitDistance;
    brix::TTraceContact contact;
    brix::Movable* hit =
        mSimulator ? mSimulator->traceRay(origin, origin + direction * mRange, &contact, nullptr) : nullptr;
    if (hit)
    {
        mHitMovable = hit;
        mHitPoint = contact.position;
        mHitNormal = contact.normal;
        mHitDistance = contact.distance;
    }
    else
    {
        mHitMovable = nullptr;
        mHitPoint = Ogre::Vector3::ZERO;
        mHitNormal = Ogre::Vector3::ZERO;
        mHitDistance = mRange;
    }
    if (std::fabs(mHitDistance - previous) > REBUILD_DISTANCE)
        mDirty = true;
}

void WeaponBeam::setVisible(bool visible)
{
    if (mParent)
        mParent->setVisible(visible, true);
    if (visible)
        return;
    mHitDistance = 0.0f;
    mHitMovable = nullptr;
    if (mEmitter)
        mEmitter->setEnabled(false);
}

void WeaponBeam::update(float frameSeconds)
{
    if (mAnimation == ELECTRIC)
    {
        mAnimationPhase += mAnimationFrequency * frameSeconds;
        if (mAnimationPhase > 1.0f)
        {
            for (Ogre::Vector3& jitter : mJitter)
                jitter = Ogre::Vector3(Ogre::Math::SymmetricRandom() * JITTER_ALONG * mSegmentLength,
                                       Ogre::Math::SymmetricRandom() * mAnimationAmplitude,
                                       Ogre::Math::SymmetricRandom() * mAnimationAmplitude);
            mDirty = true;
            mAnimationPhase = 0.0f;
        }
    }
    if (mDirty)
        rebuild();
    placeEmitter();
}

void WeaponBeam::rebuild()
{
    mDirty = false;
    if (!mChain)
        return;
    mChain->clearChain(0);
    Ogre::BillboardChain::Element element(Ogre::Vector3::ZERO, mWidth, 0.0f, Ogre::ColourValue::White,
                                          Ogre::Quaternion::IDENTITY);
    if (mSegmentLength <= 0.0f)
        mChain->addChainElement(0, element);
    else
    {
        unsigned count = 0;
        for (float d = 0.0f; d < mHitDistance - mSegmentLength * 0.5f && count < MAX_SEGMENTS;
             d = mSegmentLength * static_cast<float>(++count))
        {
            element.position = Ogre::Vector3(d, 0.0f, 0.0f);
            if (mAnimation == ELECTRIC && count > 0)
                element.position += mJitter[count];
            mChain->addChainElement(0, element);
        }
    }
    // The end fades out when the beam reaches its full range.
    element.position = Ogre::Vector3(mHitDistance, 0.0f, 0.0f);
    element.colour = mHitMovable ? Ogre::ColourValue::White : Ogre::ColourValue::Black;
    mChain->addChainElement(0, element);
}

void WeaponBeam::placeEmitter()
{
    if (!mEmitter)
        return;
    if (!mHitMovable)
    {
        if (mEmitter->getEnabled())
            mEmitter->setEnabled(false);
        return;
    }
    if (mParent)
    {
        Ogre::Quaternion inverse = mParent->_getDerivedOrientation().Inverse();
        mEmitter->setPosition(inverse * (mHitPoint - mParent->_getDerivedPosition()));
    }
    mEmitter->setDirection(mHitNormal);
    if (!mEmitter->getEnabled())
        mEmitter->setEnabled(true);
}
} // namespace game
