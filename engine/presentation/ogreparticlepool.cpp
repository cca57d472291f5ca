#include "engine/presentation/ogreparticlepool.h"

#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreParticle.h>
#include <OgreParticleAffector.h>
#include <OgreParticleEmitter.h>
#include <OgreParticleSystem.h>
#include <OgreParticleSystemManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <limits>

namespace brix
{
OgreParticlePool::OgreParticlePool(Ogre::SceneManager* sceneManager, bool growQuota)
    : mSceneManager(sceneManager), mGrowQuota(growQuota)
{
    Ogre::ParticleSystemManager::ParticleSystemTemplateIterator templates =
        Ogre::ParticleSystemManager::getSingleton().getTemplateIterator();
    while (templates.hasMoreElements())
    {
        const std::string name = templates.peekNextKey();
        templates.moveNext();
        Ogre::ParticleSystem* system = mSceneManager->createParticleSystem(name, name);
        TPooledSystem& pooled = mSystems[name];
        pooled.system = system;
        pooled.quota = static_cast<unsigned int>(system->getParticleQuota());
        pooled.prototypeCount = system->getNumEmitters();
        for (unsigned short i = 0; i < system->getNumEmitters(); ++i)
            system->getEmitter(i)->setEnabled(false);
        mSceneManager->getRootSceneNode()->attachObject(system);
        Log::debug("Pre-created particle system '%s' with %d emitters", name.c_str(),
                   static_cast<int>(pooled.prototypeCount));
    }
}

OgreParticlePool::~OgreParticlePool()
{
    for (auto& entry : mSystems)
    {
        TPooledSystem& pooled = entry.second;
        const long active = static_cast<long>(pooled.system->getNumEmitters()) - pooled.prototypeCount -
                            static_cast<long>(pooled.freeEmitters.size());
        if (active != 0)
            Log::error("%d particle emitters active in pooled particle system '%s'", static_cast<int>(active),
                       entry.first.c_str());
        pooled.system->detachFromParent();
        mSceneManager->destroyParticleSystem(pooled.system);
    }
}

OgreParticlePool::TPooledSystem& OgreParticlePool::findSystem(const std::string& name, const char* source)
{
    auto found = mSystems.find(name);
    if (found == mSystems.end())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No particle system '" + name + "' found", source);
    return found->second;
}

OgreParticlePool::TPooledSystem& OgreParticlePool::findPrototype(const std::string& path, const char* source,
                                                                 Ogre::ParticleEmitter*& prototype,
                                                                 std::string& emitterName)
{
    const std::string::size_type slash = path.find('/');
    const std::string systemName = path.substr(0, slash);
    emitterName = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    TPooledSystem& pooled = findSystem(systemName, source);

    prototype = nullptr;
    for (unsigned short i = 0; i < pooled.prototypeCount && !prototype; ++i)
    {
        Ogre::ParticleEmitter* candidate = pooled.system->getEmitter(i);
        if (emitterName.empty() || candidate->getName() == emitterName)
            prototype = candidate;
    }
    if (!prototype)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "No emitter '" + emitterName + "' found in particle system '" + systemName + "'", source);
    // The system name alone means the first prototype, so a recycled emitter must be a copy of it
    // and not of whichever prototype was given back first.
    emitterName = prototype->getName();
    return pooled;
}

Ogre::ParticleEmitter* OgreParticlePool::createEmitter(const std::string& path, const Ogre::Vector3& position)
{
    Ogre::ParticleEmitter* prototype = nullptr;
    std::string emitterName;
    TPooledSystem& pooled = findPrototype(path, "OgreParticlePool::createEmitter", prototype, emitterName);

    Ogre::ParticleEmitter* emitter = nullptr;
    auto reusable = std::find_if(pooled.freeEmitters.begin(), pooled.freeEmitters.end(),
                                 [&](Ogre::ParticleEmitter* free) { return free->getName() == emitterName; });
    if (reusable != pooled.freeEmitters.end())
    {
        emitter = *reusable;
        pooled.freeEmitters.erase(reusable);
    }
    else
    {
        emitter = pooled.system->addEmitter(prototype->getType());
        prototype->copyParametersTo(emitter);
        if (mGrowQuota)
            pooled.system->setParticleQuota((pooled.system->getNumEmitters() - pooled.prototypeCount) *
                                            static_cast<size_t>(pooled.quota));
    }
    emitter->setPosition(position);
    emitter->setEnabled(true);
    return emitter;
}

void OgreParticlePool::destroyEmitter(Ogre::ParticleEmitter* emitter)
{
    for (auto& entry : mSystems)
    {
        TPooledSystem& pooled = entry.second;
        for (unsigned short i = pooled.prototypeCount; i < pooled.system->getNumEmitters(); ++i)
        {
            if (pooled.system->getEmitter(i) != emitter)
                continue;
            // A second give-back would let two borrowers take the same emitter later.
            if (std::find(pooled.freeEmitters.begin(), pooled.freeEmitters.end(), emitter) !=
                pooled.freeEmitters.end())
            {
                Log::error("Attempt to destroy pooled particle emitter '%s' twice",
                           emitter->getName().c_str());
                return;
            }
            emitter->setEnabled(false);
            pooled.freeEmitters.push_back(emitter);
            return;
        }
    }
    Log::error("Attempt to destroy pooled particle emitter '%s' for particle system not in pool",
               emitter ? emitter->getName().c_str() : "");
}

void OgreParticlePool::emitParticles(const std::string& path, unsigned int count,
                                     const Ogre::Vector3& position, const Ogre::Vector3& direction,
                                     const Ogre::ColourValue& colour, const Ogre::Vector3& offset)
{
    Ogre::ParticleEmitter* prototype = nullptr;
    std::string emitterName;
    TPooledSystem& pooled = findPrototype(path, "OgreParticlePool::emitParticles", prototype, emitterName);

    // New emitters are copies of the prototype, so it is left exactly as it was, its heading too.
    const Ogre::Vector3 oldPosition = prototype->getPosition();
    const Ogre::Vector3 oldDirection = prototype->getDirection(), oldUp = prototype->getUp();
    const Ogre::ColourValue oldStart = prototype->getColourRangeStart(),
                            oldEnd = prototype->getColourRangeEnd();
    prototype->setPosition(position);
    if (colour != Ogre::ColourValue::ZERO)
        prototype->setColour(colour);
    prototype->setDirection(direction);
    for (unsigned int i = 0; i < count; ++i)
    {
        Ogre::Particle* particle = pooled.system->createParticle();
        if (!particle)
            break;
        prototype->_initParticle(particle);
        for (unsigned short a = 0; a < pooled.system->getNumAffectors(); ++a)
            pooled.system->getAffector(a)->_initParticle(particle);
        particle->mPosition += offset;
    }
    prototype->setPosition(oldPosition);
    prototype->setColour(oldStart, oldEnd);
    prototype->setDirection(oldDirection);
    prototype->setUp(oldUp);
}

Ogre::Particle* OgreParticlePool::createParticle(const std::string& systemName)
{
    TPooledSystem& pooled = findSystem(systemName, "OgreParticlePool::createParticle");
    Ogre::Particle* particle = pooled.system->createParticle();
    if (particle)
        particle->mTimeToLive = std::numeric_limits<Ogre::Real>::infinity();
    return particle;
}

void OgreParticlePool::clearAllParticles()
{
    for (auto& entry : mSystems)
        entry.second.system->clear();
}

void OgreParticlePool::setSpeedFactor(float factor)
{
    for (auto& entry : mSystems)
        entry.second.system->setSpeedFactor(factor);
}

void OgreParticlePool::setVisibilityFlags(unsigned int flags)
{
    for (auto& entry : mSystems)
        entry.second.system->setVisibilityFlags(flags);
}
} // namespace brix
