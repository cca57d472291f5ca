#include "engine/core/simulator.h"
#include "engine/core/allhitsrayresultcallback.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/bulletcontactinformation.h"
#include "engine/core/bulletconversion.h"
#include "engine/core/bulletdebugrenderer.h"
#include "engine/core/closestrayresultcallback.h"
#include "engine/core/particle.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreManualObject.h>
#include <OgreStringConverter.h>

#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <set>

namespace brix
{
namespace
{
using Convert = BulletConversion;

Movable* movableOf(const btCollisionObject* object)
{
    return object ? static_cast<Movable*>(object->getUserPointer()) : nullptr;
}

// Every ray query sees all objects as filter group 1 and skips the back faces of meshes.
void castRay(btCollisionWorld* world, const btVector3& from, const btVector3& to,
             btCollisionWorld::RayResultCallback& callback)
{
    callback.m_collisionFilterGroup = 1;
    callback.m_collisionFilterMask = -1;
    callback.m_flags = btTriangleRaycastCallback::kF_FilterBackfaces;
    world->rayTest(from, to, callback);
}

// The movable and every body hanging below it.
void collectTree(Movable* movable, std::set<Movable*>& tree)
{
    tree.insert(movable);
    if (Body* body = dynamic_cast<Body*>(movable))
        for (unsigned i = 0; i < body->numChildren(); ++i)
            collectTree(body->getChild(i), tree);
}
} // namespace

Simulator::Simulator(bool flag, float step) : mFlag(flag), mStep(step)
{
    mCollisionConfiguration = new btDefaultCollisionConfiguration();
    mDispatcher = new btCollisionDispatcher(mCollisionConfiguration);
    mBroadphase = new btDbvtBroadphase();
    mSolver = new btSequentialImpulseConstraintSolver();
    mWorld = new btDiscreteDynamicsWorld(mDispatcher, mBroadphase, mSolver, mCollisionConfiguration);
    mWorld->getDispatchInfo().m_useContinuous = true;
}

Simulator::~Simulator()
{
    stopUpdateThread();
    mContactRecords.clear();
    for (Movable* movable : mMovables)
        delete movable;
    mMovables.clear();
    mWorld->setDebugDrawer(nullptr);
    delete mDebugRenderer;
    delete mWorld;
    delete mSolver;
    delete mBroadphase;
    delete mDispatcher;
    delete mCollisionConfiguration;
    if (!mIsClone)
        for (auto& entry : mTemplates)
            delete entry.second;
}

void Simulator::setGravity(const Ogre::Vector3& gravity)
{
    mGravity = gravity;
    mWorld->setGravity(Convert::toBullet(gravity));
}

btDynamicsWorld* Simulator::getWorld() const
{
    return mWorld;
}

void Simulator::setWorldLimits(const Ogre::Vector3& minimum, const Ogre::Vector3& maximum) {}

void Simulator::saveInternalShapeMesh(const Ogre::Vector3* points, int count, const std::string& path) {}

void Simulator::setDebugObject(Ogre::ManualObject* object, const std::string& materialName)
{
    mWorld->setDebugDrawer(nullptr);
    delete mDebugRenderer;
    mDebugRenderer = object ? new BulletDebugRenderer(object, materialName) : nullptr;
    mWorld->setDebugDrawer(mDebugRenderer);
}

Body* Simulator::createBody(const std::string& templateName)
{
    const BodyTemplate* bodyTemplate = getTemplate(templateName);
    if (!bodyTemplate)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Body template '" + templateName + "' not found",
                    "Simulator::createBody");
    Body* body = new Body(this, nullptr, bodyTemplate);
    mMovables.push_back(body);
    return body;
}

Particle* Simulator::createParticle(float mass)
{
    Particle* particle = new Particle(this, mass);
    mMovables.push_back(particle);
    return particle;
}

void Simulator::destroyBody(Body* body)
{
    body->terminate();
}

void Simulator::destroyParticle(Particle* particle)
{
    particle->terminate();
}

void Simulator::addMovable(Movable* movable)
{
    mMovables.push_back(movable);
}

void Simulator::removeMovable(Movable* movable)
{
    mMovables.erase(std::remove(mMovables.begin(), mMovables.end(), movable), mMovables.end());
}

void Simulator::flush()
{
    auto kept = mMovables.begin();
    for (auto it = mMovables.begin(); it != mMovables.end(); ++it)
    {
        Movable* movable = *it;
        if (movable->isTerminated())
        {
            // A later movable may be built at the same address: it must not inherit this
            // one's contact history.
            forgetContacts(movable);
            delete movable;
        }
        else
        {
            movable->clearContacts(true);
            *kept++ = movable;
        }
    }
    mMovables.erase(kept, mMovables.end());
}

void Simulator::forgetContacts(Movable* movable)
{
    if (mContactRecords.empty())
        return;
    std::set<Movable*> tree;
    collectTree(movable, tree);
    mContactRecords.erase(std::remove_if(mContactRecords.begin(), mContactRecords.end(),
                                         [&](const TContactRecord& record) {
                                             return tree.count(record.key.first) ||
                                                    tree.count(record.key.second);
                                         }),
                          mContactRecords.end());
}

BodyTemplate* Simulator::createTemplate(const std::string& name)
{
    if (mIsClone)
        return nullptr;
    if (mTemplates.count(name))
        OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM, "Body template '" + name + "' already exists",
                    "Simulator::createTemplate");
    BodyTemplate* bodyTemplate = new BodyTemplate(name);
    mTemplates[name] = bodyTemplate;
    return bodyTemplate;
}

bool Simulator::hasTemplate(const std::string& name) const
{
    return mTemplates.count(name) != 0;
}

const BodyTemplate* Simulator::getTemplate(const std::string& name) const
{
    auto it = mTemplates.find(name);
    return it == mTemplates.end() ? nullptr : it->second;
}

void Simulator::removeTemplate(const std::string& name)
{
    if (mIsClone)
        return;
    auto it = mTemplates.find(name);
    if (it == mTemplates.end())
        return;
    delete it->second;
    mTemplates.erase(it);
}

void Simulator::removeTemplates()
{
    if (mIsClone)
        return;
    for (auto& entry : mTemplates)
        delete entry.second;
    mTemplates.clear();
}

void Simulator::addMaterial(const std::string& name, float friction, float elasticity)
{
    if (mMaterials.count(name))
        OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM, "Duplicate simulator material '" + name + "'",
                    "Simulator::loadMaterials");
    mMaterials[name] = TMaterial{friction, elasticity};
}

void Simulator::loadTemplates(const std::string& path)
{
    if (mIsClone)
        return;
    XMLElement root("");
    int result = root.load(path);
    if (result < 0)
    {
        Log::error("Body definition '%s': %s", path.c_str(), XMLElement::getLastError().c_str());
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    "Body definition '" + path +
                        "' loading failed: " + Ogre::StringConverter::toString(result),
                    "Simulator::loadTemplates");
    }

    std::vector<const XMLElement*> bodies;
    if (root.getName() == "body")
        bodies.push_back(&root);
    else if (root.getName() == "bodies")
        for (const XMLElement* body = root.getChild("body"); body; body = root.getNextChild(body, "body"))
            bodies.push_back(body);
    else
        Log::error("Body definition '%s' has neither a 'bodies' nor a 'body' root", path.c_str());

    for (const XMLElement* body : bodies)
    {
        const std::string name = body->getValue("name", "");
        if (name.empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM,
                        "Missing name in a body template in file " + path, "Simulator::loadTemplates");
        BodyTemplate* bodyTemplate = createTemplate(name);
        try
        {
            bodyTemplate->load(body);
        }
        catch (...)
        {
            removeTemplate(name);
            throw;
        }
    }
}

void Simulator::loadMaterials(const std::string& path)
{
    XMLElement root("");
    int result = root.load(path);
    if (result < 0)
    {
        Log::error("Simulator material definition '%s': %s", path.c_str(),
                   XMLElement::getLastError().c_str());
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    "Simulator material definition '" + path +
                        "' loading failed: " + Ogre::StringConverter::toString(result),
                    "Simulator::loadMaterials");
    }
    for (const XMLElement* material = root.getChild("material"); material;
         material = root.getNextChild(material, "material"))
    {
        const std::string name = material->getValue("name", "");
        if (name.empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM,
                        "Simulator material without name in material definition file '" + path + "'",
                        "Simulator::loadMaterials");
        addMaterial(name, Ogre::StringConverter::parseReal(material->getValue("friction", "0.1"), 0.0f),
                    Ogre::StringConverter::parseReal(material->getValue("elasticity", "1.0"), 0.0f));
    }
}

void Simulator::removeMaterials()
{
    mMaterials.clear();
}

void Simulator::getMaterialProperties(const std::string& name, float& first, float& second) const
{
    auto it = mMaterials.find(name);
    if (it == mMaterials.end())
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Simulator material '" + name + "' not found",
                    "Simulator::getMaterialProperties");
    first = it->second.elasticity;
    second = it->second.friction;
}

void Simulator::update(float elapsed, bool flushFirst)
{
    if (flushFirst)
        flush();
    // The update thread subtracts from the same backlog.
    mMutex.lock();
    mAccumulatedTime += elapsed;
    if (mAccumulatedTime > MAX_ACCUMULATED_TIME)
    {
        Log::debug("Accumulated simulation time (%fs) clamped", mAccumulatedTime);
        mAccumulatedTime = MAX_ACCUMULATED_TIME;
    }
    mMutex.unlock();
    if (!mUpdateThreadRunning)
        internalUpdate();
}

bool Simulator::internalUpdate()
{
    if (mAccumulatedTime < mStep)
        return false;
    const float step = mStep;
    while (mAccumulatedTime >= mStep)
    {
        // Indexes rather than iterators: a controller may create movables during the step.
        for (size_t i = 0; i < mMovables.size(); ++i)
        {
            Movable* movable = mMovables[i];
            if (!movable->isIdle() && movable->isEnabled() && movable->isDeployed() &&
                !movable->isTerminated())
                movable->beforeSimulation(step);
        }
        mWorld->stepSimulation(step, 0, 1.0f / 60.0f);
        for (size_t i = 0; i < mMovables.size(); ++i)
        {
            Movable* movable = mMovables[i];
            if (!movable->isIdle() && movable->isEnabled() && movable->isDeployed() &&
                !movable->isTerminated())
                movable->afterSimulation(step);
        }
        processContacts();
        ++mStepCount;
        mAccumulatedTime -= mStep;
    }
    if (mDebugRenderer)
    {
        mDebugRenderer->begin();
        mWorld->debugDrawWorld();
        mDebugRenderer->getManualObject()->end();
    }
    return true;
}

void Simulator::processContacts()
{
    int count = mDispatcher->getNumManifolds();
    for (int i = 0; i < count; ++i)
    {
        btPersistentManifold* manifold = mDispatcher->getManifoldByIndexInternal(i);
        // Most manifolds are of pairs that are only near each other: skip them before
        // touching their bodies.
        if (manifold->getNumContacts() == 0)
            continue;
        const btRigidBody* first = btRigidBody::upcast(manifold->getBody0());
        const btRigidBody* second = btRigidBody::upcast(manifold->getBody1());
        if (!first || !second)
            continue;
        Movable* a = movableOf(first);
        Movable* b = movableOf(second);
        if (!a || !b)
            continue;
        std::pair<Movable*, Movable*> key = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
        auto it = std::lower_bound(mContactRecords.begin(), mContactRecords.end(), key,
                                   [](const TContactRecord& record, const std::pair<Movable*, Movable*>& k)
                                   { return record.key < k; });
        if (it == mContactRecords.end() || it->key != key)
            it = mContactRecords.insert(it, TContactRecord{key, BulletContactInformation(a, b)});
        it->contact.addManifold(manifold, mStepCount);
    }
    // Pairs in contact in this step report; the others have separated and are dropped.
    auto kept = mContactRecords.begin();
    for (auto it = mContactRecords.begin(); it != mContactRecords.end(); ++it)
    {
        if (it->contact.getLastStep() != mStepCount)
            continue;
        it->contact.report();
        if (kept != it)
            *kept = *it;
        ++kept;
    }
    mContactRecords.erase(kept, mContactRecords.end());
}

void Simulator::startUpdateThread()
{
    if (mUpdateThreadRunning)
        return;
    mUpdateThreadRunning = true;
    mAccumulatedTime = 0.0;
    if (!mThread.start(this))
    {
        mUpdateThreadRunning = false;
        Log::error("Simulator update thread could not be started");
    }
}

void Simulator::stopUpdateThread()
{
    if (!mUpdateThreadRunning)
        return;
    mUpdateThreadRunning = false;
    mThread.wait();
}

void Simulator::execute()
{
    while (mUpdateThreadRunning)
    {
        mMutex.lock();
        bool stepped = internalUpdate();
        mMutex.unlock();
        if (!stepped)
            Thread::yield();
    }
}

Movable* Simulator::traceRay(const Ogre::Vector3& from, const Ogre::Vector3& to, TTraceContact* contact,
                             const Movable* ignore)
{
    btVector3 start = Convert::toBullet(from);
    btVector3 end = Convert::toBullet(to);
    ClosestRayResultCallback callback(start, end, ignore);
    castRay(mWorld, start, end, callback);
    if (!callback.hasHit())
        return nullptr;
    Movable* movable = movableOf(callback.m_collisionObject);
    if (contact)
    {
        contact->movable = movable;
        contact->position = Convert::toOgre(callback.m_hitPointWorld);
        contact->normal = Convert::toOgre(callback.m_hitNormalWorld);
        contact->distance = (contact->position - from).length();
        contact->triangle = callback.getTriangle();
    }
    return movable;
}

void Simulator::traceRayAll(const Ogre::Vector3& from, const Ogre::Vector3& to,
                            std::vector<TTraceContact>& contacts)
{
    btVector3 start = Convert::toBullet(from);
    btVector3 end = Convert::toBullet(to);
    AllHitsRayResultCallback callback(start, end, nullptr);
    castRay(mWorld, start, end, callback);

    // Bullet reports hits in broadphase order; line-of-sight code walks them nearest first.
    std::vector<int> order(callback.m_collisionObjects.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return callback.m_hitFractions[a] < callback.m_hitFractions[b]; });
    for (int i : order)
    {
        TTraceContact contact;
        contact.movable = movableOf(callback.m_collisionObjects[i]);
        contact.position = Convert::toOgre(callback.m_hitPointWorld[i]);
        contact.normal = Convert::toOgre(callback.m_hitNormalWorld[i]);
        contact.distance = (contact.position - from).length();
        contact.triangle = callback.getTriangles()[i];
        contacts.push_back(contact);
    }
}

float Simulator::calculateCrushImpulse(Movable* movable)
{
    float total = 0.0f;
    Ogre::Vector3 sum = Ogre::Vector3::ZERO;
    int count = mDispatcher->getNumManifolds();
    for (int i = 0; i < count; ++i)
    {
        const btPersistentManifold* manifold = mDispatcher->getManifoldByIndexInternal(i);
        const btCollisionObject* first = manifold->getBody0();
        const btCollisionObject* second = manifold->getBody1();
        if (!first || !second || manifold->getNumContacts() == 0)
            continue;
        float sign;
        if (first->getUserPointer() == movable)
            sign = 1.0f;
        else if (second->getUserPointer() == movable)
            sign = -1.0f;
        else
            continue;
        for (int p = 0; p < manifold->getNumContacts(); ++p)
        {
            const btManifoldPoint& point = manifold->getContactPoint(p);
            total += point.getAppliedImpulse();
            sum += sign * Convert::toOgre(point.m_normalWorldOnB) * total;
        }
    }
    return total - sum.length();
}

Simulator* Simulator::clone()
{
    Simulator* copy = new Simulator(mFlag, mStep);
    copy->mIsClone = true;
    copy->mMaterials = mMaterials;
    copy->mTemplates = mTemplates;
    return copy;
}
} // namespace brix
