#pragma once
#include "engine/core/bulletcontactinformation.h"
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <OgreVector.h>

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

class btBroadphaseInterface;
class btCollisionDispatcher;
class btDefaultCollisionConfiguration;
class btDiscreteDynamicsWorld;
class btDynamicsWorld;
class btSequentialImpulseConstraintSolver;

namespace Ogre
{
class ManualObject;
}

namespace brix
{
class Body;
class BodyTemplate;
class BulletDebugRenderer;
class Movable;
class Particle;

// One hit of a ray or convex trace.
struct TTraceContact
{
    // Null when the object hit carries no movable.
    Movable* movable = nullptr;
    Ogre::Vector3 position = Ogre::Vector3::ZERO;
    Ogre::Vector3 normal = Ogre::Vector3::ZERO;
    // World distance from the start of the trace.
    float distance = 0.0f;
    // Of a ray's hit on a mesh shape, the triangle hit by its place in the shape's points
    // (three to a triangle); -1 for any other shape and for convex traces.
    int triangle = -1;
};

// The physics world: one Bullet dynamics world, the registries of materials and body
// templates, and every movable. It advances in fixed steps from a time accumulator, hands
// Bullet's contacts to the movables, and answers ray queries. Movables are deleted only by
// flush, once per tick after stepping. A clone shares the templates of its origin, which
// must outlive it, and is stepped and queried by one worker thread alone.
class Simulator : public Task
{
public:
    // Time not yet simulated is capped here, so one update runs a bounded number of steps.
    static constexpr float MAX_ACCUMULATED_TIME = 0.1f;

    // The step is the fixed step length in seconds. The flag is only handed on to clones.
    Simulator(bool flag, float step);
    ~Simulator() override;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Also given, without gravity factors, to awake dynamic bodies already in the world.
    void setGravity(const Ogre::Vector3& gravity);
    const Ogre::Vector3& getGravity() const { return mGravity; }
    btDynamicsWorld* getWorld() const;
    bool isClone() const { return mIsClone; }
    float getStep() const { return mStep; }
    unsigned getStepCount() const { return mStepCount; }
    void setWorldLimits(const Ogre::Vector3& minimum, const Ogre::Vector3& maximum);
    void saveInternalShapeMesh(const Ogre::Vector3* points, int count, const std::string& path);
    // Draws the world into the object after every update that stepped; null removes the
    // renderer. The object stays the caller's.
    void setDebugObject(Ogre::ManualObject* object, const std::string& materialName);

    // A new body, not yet in the world, from the named template. Throws for an unknown name.
    Body* createBody(const std::string& templateName);
    Particle* createParticle(float mass);
    // Mark the movable; it is deleted at the next flush.
    void destroyBody(Body* body);
    void destroyParticle(Particle* particle);
    void addMovable(Movable* movable);
    void removeMovable(Movable* movable);
    // Deletes terminated movables and clears the contacts of all others.
    void flush();

    // Null on a clone. Throws when the name is taken.
    BodyTemplate* createTemplate(const std::string& name);
    bool hasTemplate(const std::string& name) const;
    const BodyTemplate* getTemplate(const std::string& name) const;
    void removeTemplate(const std::string& name);
    void removeTemplates();
    // Reads a body-definition file; throws on bad files and bad templates. Templates read
    // before a bad one stay registered.
    void loadTemplates(const std::string& path);

    // Throws when the name is taken.
    void addMaterial(const std::string& name, float friction, float elasticity);
    // Reads a material file; throws on a bad file, a nameless or a duplicate material.
    void loadMaterials(const std::string& path);
    void removeMaterials();
    // Elasticity into the first value and friction into the second. Throws for an unknown name.
    void getMaterialProperties(const std::string& name, float& first, float& second) const;

    // Adds the elapsed seconds and runs every whole step due (none while the update thread
    // runs). The backlog is capped at MAX_ACCUMULATED_TIME.
    void update(float elapsed, bool flushFirst);

    // The update thread steps the world on its own; callers then bracket their work on
    // movables and the world with lock and unlock.
    void startUpdateThread();
    bool isUpdateThreadRunning() const { return mUpdateThreadRunning; }
    void stopUpdateThread();
    void lock() { mMutex.lock(); }
    void unlock() { mMutex.unlock(); }
    void execute() override;

    // The closest hit on the way from one point to another, skipping the ignored movable's
    // objects. Null for no hit or for an object without movable; the contact is written
    // only on a hit.
    Movable* traceRay(const Ogre::Vector3& from, const Ogre::Vector3& to, TTraceContact* contact,
                      const Movable* ignore);
    // Appends every hit, nearest first, without clearing the vector.
    void traceRayAll(const Ogre::Vector3& from, const Ogre::Vector3& to,
                     std::vector<TTraceContact>& contacts);
    // How hard the movable is squeezed between the objects touching it, from the impulses
    // of the last step.
    float calculateCrushImpulse(Movable* movable);

    // A world of its own with a copy of the materials and the same templates, but no
    // movables, no debug renderer and zero gravity.
    Simulator* clone();

private:
    struct TMaterial
    {
        float friction;
        float elasticity;
    };

    // The contact state of a pair of movables, the smaller pointer first in the key.
    struct TContactRecord
    {
        std::pair<Movable*, Movable*> key;
        BulletContactInformation contact;
    };

    bool internalUpdate();
    void processContacts();
    // Drops the contact records naming the movable or any body below it.
    void forgetContacts(Movable* movable);

    Thread mThread;
    Mutex mMutex;
    std::atomic<bool> mUpdateThreadRunning{false};
    // Double, so that a clamped backlog of whole steps is still exactly that many steps.
    double mAccumulatedTime = 0.0;
    bool mFlag;
    float mStep;
    btDefaultCollisionConfiguration* mCollisionConfiguration = nullptr;
    btCollisionDispatcher* mDispatcher = nullptr;
    btBroadphaseInterface* mBroadphase = nullptr;
    btSequentialImpulseConstraintSolver* mSolver = nullptr;
    btDiscreteDynamicsWorld* mWorld = nullptr;
    Ogre::Vector3 mGravity = Ogre::Vector3::ZERO;
    std::map<std::string, BodyTemplate*> mTemplates;
    std::map<std::string, TMaterial> mMaterials;
    std::vector<Movable*> mMovables;
    bool mIsClone = false;
    BulletDebugRenderer* mDebugRenderer = nullptr;
    // Sorted by key, so contacts reach the movables in key order; kept in place from step to
    // step, so the steady state allocates nothing.
    std::vector<TContactRecord> mContactRecords;
    unsigned mStepCount = 0;
};
} // namespace brix
