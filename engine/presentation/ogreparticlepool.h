#pragma once
#include <OgreColourValue.h>
#include <OgreVector.h>

#include <list>
#include <map>
#include <string>

namespace Ogre
{
class Particle;
class ParticleEmitter;
class ParticleSystem;
class SceneManager;
} // namespace Ogre

namespace brix
{
// One particle system per particle-system template, made at construction and attached to the
// root node, from which entities borrow emitters instead of making a system per effect. The
// template's own emitters are switched off and serve only as prototypes; a lent emitter is a
// copy of one, and an emitter given back stays in its system, switched off, for the next borrower.
//
// Emitters are named by a path: the template name, "/" and the emitter's name in the template;
// the template name alone means its first emitter. Unknown names throw
// Ogre::InvalidParametersException. Main thread only.
class OgreParticlePool
{
public:
    // Templates must be parsed before: the pool knows only the ones that exist now. With
    // growQuota, a system's particle quota is its template's quota times its lent emitters.
    OgreParticlePool(Ogre::SceneManager* sceneManager, bool growQuota);
    // Destroys every pooled system with the emitters still lent out, which are logged.
    virtual ~OgreParticlePool();
    OgreParticlePool(const OgreParticlePool&) = delete;
    OgreParticlePool& operator=(const OgreParticlePool&) = delete;

    // A switched-on emitter at the position; the pool keeps it, give it back with destroyEmitter.
    Ogre::ParticleEmitter* createEmitter(const std::string& path, const Ogre::Vector3& position);
    // Switches the emitter off and keeps it for reuse; its particles live on. An emitter the
    // pool did not lend, or one already given back, is logged and left alone.
    void destroyEmitter(Ogre::ParticleEmitter* emitter);
    // Emits count particles at once from the prototype at position, heading in direction, each
    // moved by offset afterwards. A colour of Ogre::ColourValue::ZERO keeps the prototype's. The
    // prototype is left as it was.
    void emitParticles(const std::string& path, unsigned int count, const Ogre::Vector3& position,
                       const Ogre::Vector3& direction, const Ogre::ColourValue& colour,
                       const Ogre::Vector3& offset);
    // A particle that lives until its system is cleared, or null when the quota is used up.
    // The name is the whole template name.
    Ogre::Particle* createParticle(const std::string& systemName);
    // Particles end with their system's clear: nothing to do.
    void destroyParticle(Ogre::Particle* particle) {}

    // Removes every live particle of every system; lent emitters stay lent.
    void clearAllParticles();
    // 0 freezes every pooled particle, 1 runs them at normal speed.
    void setSpeedFactor(float factor);
    void setVisibilityFlags(unsigned int flags);

private:
    struct TPooledSystem
    {
        Ogre::ParticleSystem* system;
        unsigned int quota;
        // Emitters 0 to prototypeCount - 1 of the system are the template's own.
        unsigned int prototypeCount;
        std::list<Ogre::ParticleEmitter*> freeEmitters;
    };

    // The pooled system the path names and, through prototype, its matching prototype emitter.
    TPooledSystem& findPrototype(const std::string& path, const char* source,
                                 Ogre::ParticleEmitter*& prototype, std::string& emitterName);
    TPooledSystem& findSystem(const std::string& name, const char* source);

    Ogre::SceneManager* mSceneManager;
    std::map<std::string, TPooledSystem> mSystems;
    bool mGrowQuota;
};
} // namespace brix
