#include "engine/core/body.h"
#include "engine/core/bulletconversion.h"
#include "engine/core/closestconvexresultcallback.h"
#include "engine/core/movablecontroller.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreStringConverter.h>

#include <btBulletDynamicsCommon.h>

#include <algorithm>

namespace brix
{
namespace
{
using Convert = BulletConversion;
}

Body::Body(Simulator* simulator, Body* parent, const BodyTemplate* bodyTemplate)
    : Movable(simulator), mTemplate(bodyTemplate), mParent(parent)
{
    try
    {
        createCollisionShape();
        for (unsigned i = 0; i < mTemplate->numChildren(); ++i)
            mChildren.push_back(new Body(simulator, this, mTemplate->getChild(i)));
    }
    catch (...)
    {
        for (Body* child : mChildren)
            delete child;
        destroyCollisionShape();
        throw;
    }
}

Body::~Body()
{
    for (Body* child : mChildren)
        delete child;
    mChildren.clear();
    destroyJoint();
    if (mRigidBody)
    {
        if (mEnabled)
            mSimulator->getWorld()->removeRigidBody(mRigidBody);
        delete mRigidBody;
        mRigidBody = nullptr;
    }
    destroyCollisionShape();
}

const std::string& Body::getName() const
{
    return mTemplate->getName();
}

float Body::getMass() const
{
    return mTemplate->getMass();
}

void Body::createCollisionShape()
{
    destroyCollisionShape();
    const std::string& name = mTemplate->getName();
    if (mTemplate->numShapes() == 1)
    {
        const BodyTemplate::TShape& shape = mTemplate->getShape(0);
        if (shape.position.x == 0.0f && shape.position.y == 0.0f && shape.position.z == 0.0f &&
            shape.orientation.w == 1.0f && shape.orientation.x == 0.0f && shape.orientation.y == 0.0f &&
            shape.orientation.z == 0.0f)
        {
            mCollisionShape = createCollisionShape(shape);
            return;
        }
    }
    if (mTemplate->numShapes() == 0)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Attempt to create a body '" + name + "' with no shape", "Body::createCollision");

    btCompoundShape* compound = new btCompoundShape(true);
    mOwnedShapes.push_back(compound);
    mCollisionShape = compound;
    for (unsigned i = 0; i < mTemplate->numShapes(); ++i)
    {
        const BodyTemplate::TShape& shape = mTemplate->getShape(i);
        compound->addChildShape(Convert::toBullet(shape.orientation, shape.position),
                                createCollisionShape(shape));
    }
}

btCollisionShape* Body::createCollisionShape(const BodyTemplate::TShape& shape)
{
    btCollisionShape* result = nullptr;
    const btVector3 halfSize = Convert::toBullet(shape.size * 0.5f);
    switch (shape.type)
    {
    case BodyTemplate::SHAPE_BOX:
        result = new btBoxShape(halfSize);
        break;
    case BodyTemplate::SHAPE_SPHERE:
        if (shape.size.x == shape.size.y && shape.size.y == shape.size.z)
            result = new btSphereShape(shape.size.x * 0.5f);
        else
        {
            const btVector3 center(0, 0, 0);
            const btScalar radius = 1.0f;
            result = new btMultiSphereShape(&center, &radius, 1);
            result->setLocalScaling(halfSize);
        }
        break;
    case BodyTemplate::SHAPE_CYLINDER:
        result = new btCylinderShape(halfSize);
        break;
    case BodyTemplate::SHAPE_MESH:
    {
        // The physics library cannot build a collision tree over no triangles.
        if (shape.points.size() < 3)
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Mesh shape without triangles in body '" + mTemplate->getName() + "'",
                        "Body::createCollisionShape");
        btTriangleMesh* mesh = new btTriangleMesh(true, true);
        mOwnedMeshes.push_back(mesh);
        mTriangleMesh = mesh;
        for (size_t i = 0; i + 2 < shape.points.size(); i += 3)
            mesh->addTriangle(Convert::toBullet(shape.points[i]), Convert::toBullet(shape.points[i + 1]),
                              Convert::toBullet(shape.points[i + 2]), false);
        result = new btBvhTriangleMeshShape(mesh, false, true);
        break;
    }
    case BodyTemplate::SHAPE_HULL:
    {
        if (shape.points.empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Hull shape without points in body '" + mTemplate->getName() + "'",
                        "Body::createCollisionShape");
        btConvexHullShape* hull = new btConvexHullShape();
        // The bounds are a pass over all points: computed once, not after every point.
        for (const Ogre::Vector3& point : shape.points)
            hull->addPoint(Convert::toBullet(point), false);
        hull->recalcLocalAabb();
        result = hull;
        break;
    }
    default:
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED, "Unsupported collision shape type",
                    "Body::createCollisionShape");
    }
    mOwnedShapes.push_back(result);
    return result;
}

void Body::destroyCollisionShape()
{
    for (btCollisionShape* shape : mOwnedShapes)
        delete shape;
    mOwnedShapes.clear();
    for (btTriangleMesh* mesh : mOwnedMeshes)
        delete mesh;
    mOwnedMeshes.clear();
    mCollisionShape = nullptr;
    mTriangleMesh = nullptr;
}

void Body::deploy(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                  const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity)
{
    // A second rigid body for the same movable would be left behind in the world.
    if (mRigidBody)
    {
        Log::error("Body '%s' is already deployed", getName().c_str());
        return;
    }
    // A child takes its pose and its joint from the parent's rigid body.
    if (mParent && !mParent->isDeployed())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Can't mix deployed and non-deployed bodies in body hierarchy", "Body::deploy");

    const float mass = mTemplate->getMass();
    btVector3 inertia(0, 0, 0);
    if (mass > 0.0f)
        mCollisionShape->calculateLocalInertia(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, mCollisionShape, inertia);
    if (!mTemplate->getMaterial().empty())
    {
        float elasticity, friction;
        mSimulator->getMaterialProperties(mTemplate->getMaterial(), elasticity, friction);
        // The material's elasticity is the body's friction and its friction the restitution.
        info.m_friction = elasticity;
        info.m_restitution = friction;
    }

    mRigidBody = new btRigidBody(info);
    mRigidBody->setUserPointer(static_cast<Movable*>(this));
    if (!mTemplate->getAutoSleep())
        mRigidBody->setActivationState(DISABLE_DEACTIVATION);
    // Placed before it enters the world, so the broadphase files it where it is.
    if (mParent)
        setTransformation(mParent->mOrientation * mTemplate->getPosition() + mParent->mPosition,
                          mParent->mOrientation * mTemplate->getOrientation());
    else
        setTransformation(position, orientation);
    btDynamicsWorld* world = mSimulator->getWorld();
    world->addRigidBody(mRigidBody);
    mFixedInWorld = mRigidBody->isStaticObject();
    mEnabled = true;
    mRigidBody->setDamping(mTemplate->getLinearDamping(), mTemplate->getAngularDamping());
    mRigidBody->setGravity(Convert::toBullet(mSimulator->getGravity() * mTemplate->getGravityFactor()));

    if (mTemplate->getContinuousCollision())
    {
        float radius = getBoundingRadius(position, false);
        mRigidBody->setCcdSweptSphereRadius(0.2f * radius);
        mRigidBody->setCcdMotionThreshold(0.25f * radius);
    }

    createJoint();
    mSensorData.assign(mTemplate->numSensors(), SensorData());

    mLinearVelocity = linearVelocity;
    mAngularVelocity = angularVelocity;
    mRigidBody->setLinearVelocity(Convert::toBullet(linearVelocity));
    mRigidBody->setAngularVelocity(Convert::toBullet(angularVelocity));
    mStatic = mass == 0.0f;

    for (Body* child : mChildren)
        child->deploy(position, orientation, linearVelocity, angularVelocity);
}

void Body::createJoint()
{
    destroyJoint();
    disturb();
    const BodyTemplate::TJoint& joint = mTemplate->getJoint();
    if (joint.type == BodyTemplate::JOINT_NONE || !mRigidBody)
        return;
    if (!mParent && joint.type >= BodyTemplate::JOINT_HINGE && joint.type <= BodyTemplate::JOINT_FIXED)
    {
        Log::debug("Joint of type %d in body '%s' requires parent", static_cast<int>(joint.type),
                   getName().c_str());
        return;
    }

    // The joint holds the pose the two bodies have now: the child's frame, seen from the parent.
    const btTransform fromParent =
        mParent ? mParent->mRigidBody->getWorldTransform().inverse() : btTransform::getIdentity();
    const btTransform child = Convert::toBullet(mOrientation, mPosition);
    switch (joint.type)
    {
    case BodyTemplate::JOINT_SLIDER:
    {
        // Bullet measures the slider's travel from this body to the parent along the frame's x
        // axis; pointing that axis against the joint direction makes the limits count how far
        // this body has moved along the direction.
        const Ogre::Quaternion q = Ogre::Vector3::UNIT_X.getRotationTo(-joint.axes[0].direction);
        const btTransform frameInA(Convert::toBullet(q), btVector3(0, 0, 0));
        const btTransform frameInB = fromParent * child * frameInA;
        btSliderConstraint* slider =
            new btSliderConstraint(*mRigidBody, *mParent->mRigidBody, frameInA, frameInB, true);
        if (joint.axes[0].low != joint.axes[0].high)
        {
            slider->setLowerLinLimit(joint.axes[0].low);
            slider->setUpperLinLimit(joint.axes[0].high);
        }
        mJoint = slider;
        break;
    }
    case BodyTemplate::JOINT_FIXED:
        mJoint = new btFixedConstraint(*mRigidBody, *mParent->mRigidBody, btTransform::getIdentity(),
                                       fromParent * child);
        break;
    case BodyTemplate::JOINT_LIMIT:
        mRigidBody->setLinearFactor(Convert::toBullet(joint.axes[0].direction));
        mRigidBody->setAngularFactor(Convert::toBullet(joint.axes[1].direction));
        return;
    default:
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED,
                    "Unsupported joint type in body '" + getName() + "'", "Body::createJoint");
    }
    mSimulator->getWorld()->addConstraint(mJoint, true);
}

void Body::destroyJoint()
{
    if (!mJoint)
        return;
    disturb();
    mSimulator->getWorld()->removeConstraint(mJoint);
    delete mJoint;
    mJoint = nullptr;
}

void Body::setTransformation(const Ogre::Vector3& position, const Ogre::Quaternion& orientation)
{
    if (!mRigidBody)
        return;
    disturb();
    mRigidBody->setWorldTransform(Convert::toBullet(orientation, position));
    // Rays cast before the next step must find the body where it now is.
    if (mEnabled)
        mSimulator->getWorld()->updateSingleAabb(mRigidBody);
    mPosition = position;
    mOrientation = orientation;
}

void Body::warp(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity)
{
    setTransformation(position, orientation);
    if (!mRigidBody)
        return;
    mLinearVelocity = linearVelocity;
    mAngularVelocity = angularVelocity;
    mRigidBody->setLinearVelocity(Convert::toBullet(linearVelocity));
    mRigidBody->setAngularVelocity(Convert::toBullet(angularVelocity));
}

void Body::setEnabled(bool enabled)
{
    if (!mRigidBody || enabled == mEnabled)
        return;
    disturb();
    btDynamicsWorld* world = mSimulator->getWorld();
    if (enabled)
    {
        world->addRigidBody(mRigidBody);
        mFixedInWorld = mRigidBody->isStaticObject();
        // Adding hands the body the world's gravity; its own factor must survive a re-enable.
        mRigidBody->setGravity(Convert::toBullet(mSimulator->getGravity() * mTemplate->getGravityFactor()));
    }
    else
        world->removeRigidBody(mRigidBody);
    mEnabled = enabled;
}

Ogre::Vector3 Body::getLinearVelocityAtPoint(const Ogre::Vector3& point)
{
    return mLinearVelocity + mAngularVelocity.crossProduct(point - mPosition);
}

void Body::clearForces(bool recursive)
{
    mForce = Ogre::Vector3::ZERO;
    mTorque = Ogre::Vector3::ZERO;
    if (recursive)
        for (Body* child : mChildren)
            child->clearForces(true);
}

void Body::addForce(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive)
{
    mForce += force;
    mTorque += (point - mPosition).crossProduct(force);
    mForcesDirty = true;
    disturb();
    if (recursive)
        for (Body* child : mChildren)
            child->addForce(force, point, true);
}

void Body::addForceLocal(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive)
{
    addForce(mOrientation * force, mOrientation * point + mPosition, recursive);
}

void Body::addTorque(const Ogre::Vector3& torque, bool recursive)
{
    mTorque += torque;
    mForcesDirty = true;
    disturb();
    if (recursive)
        for (Body* child : mChildren)
            child->addTorque(torque, true);
}

void Body::applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& point, bool recursive)
{
    if (mTemplate->getMass() > 0.0f && mRigidBody)
    {
        mRigidBody->applyImpulse(Convert::toBullet(impulse), Convert::toBullet(point - mPosition));
        mForcesDirty = true;
        disturb();
    }
    if (recursive)
        for (Body* child : mChildren)
            child->applyImpulse(impulse, point, true);
}

void Body::beforeSimulation(const float& step)
{
    if (mController)
        mController->update(this, step);
    if (mRigidBody)
    {
        if (mForcesDirty)
        {
            mRigidBody->activate(false);
            mForcesDirty = false;
        }
        mRigidBody->clearForces();
        mRigidBody->applyCentralForce(Convert::toBullet(mForce));
        mRigidBody->applyTorque(Convert::toBullet(mTorque));
    }
    for (Body* child : mChildren)
        child->beforeSimulation(step);
    mQuietStep = canIdle();
}

void Body::afterSimulation(const float& step)
{
    if (mRigidBody)
    {
        const btTransform& transform = mRigidBody->getWorldTransform();
        mPosition = Convert::toOgre(transform.getOrigin());
        mOrientation = Convert::toOgre(transform.getRotation());
        mLinearVelocity = Convert::toOgre(mRigidBody->getLinearVelocity());
        mAngularVelocity = Convert::toOgre(mRigidBody->getAngularVelocity());

        for (unsigned i = 0; i < mSensorData.size(); ++i)
        {
            const BodyTemplate::TSensor& sensor = mTemplate->getSensor(i);
            SensorData& data = mSensorData[i];
            if (sensor.type == BodyTemplate::SENSOR_RAY)
            {
                TTraceContact contact;
                const Ogre::Vector3 from = mOrientation * sensor.origin + mPosition;
                const Ogre::Vector3 to = mOrientation * sensor.target + mPosition;
                data.active = mSimulator->traceRay(from, to, &contact, this) != nullptr;
                if (data.active)
                {
                    data.contact = contact;
                    data.value = contact.distance;
                }
            }
            else if (sensor.type == BodyTemplate::SENSOR_CRUSH)
            {
                data.value = mSimulator->calculateCrushImpulse(this) / step;
                data.active = true;
            }
        }
        mAtRest = mRigidBody->getActivationState() == ISLAND_SLEEPING;
    }
    for (Body* child : mChildren)
        child->afterSimulation(step);
    mIdle = mQuietStep && canIdle();
}

bool Body::canIdle() const
{
    return mFixedInWorld && !mController && mChildren.empty() && mSensorData.empty() && !mForcesDirty &&
           mForce == Ogre::Vector3::ZERO && mTorque == Ogre::Vector3::ZERO;
}

void Body::disturb()
{
    mIdle = false;
    mQuietStep = false;
}

void Body::clearContacts(bool recursive)
{
    mContacts.clear();
    if (recursive)
        for (Body* child : mChildren)
            child->clearContacts(true);
}

void Body::terminate()
{
    mTerminated = true;
    for (Body* child : mChildren)
        child->terminate();
}

unsigned Body::numSensors() const
{
    return mTemplate->numSensors();
}

Ogre::Vector3 Body::getSensorOrigin(unsigned index)
{
    return mOrientation * mTemplate->getSensor(index).origin + mPosition;
}

void Body::checkSensorIndex(unsigned index, const char* source) const
{
    if (index >= mSensorData.size())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Body sensor index out of range", source);
}

float Body::getSensorValue(unsigned index) const
{
    checkSensorIndex(index, "Body::getSensorValue");
    return mSensorData[index].active ? mSensorData[index].value : 0.0f;
}

const Body::SensorData& Body::getSensorData(unsigned index) const
{
    checkSensorIndex(index, "Body::getSensorData");
    return mSensorData[index];
}

Body* Body::getChild(unsigned index) const
{
    if (index >= mChildren.size())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Body '" + getName() + "' child index " + Ogre::StringConverter::toString(index) +
                        " out of range",
                    "Body::getChild");
    return mChildren[index];
}

Body* Body::getChild(const std::string& name, bool recursive) const
{
    for (Body* child : mChildren)
        if (child->getName() == name)
            return child;
    if (recursive)
        for (Body* child : mChildren)
            if (Body* found = child->getChild(name, true))
                return found;
    return nullptr;
}

unsigned Body::addChild(Body* child)
{
    if (child->mParent)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Can't add child body to multiple parents",
                    "Body::addChild");
    // A body hung below itself would make every walk over the tree endless.
    for (const Body* ancestor = this; ancestor; ancestor = ancestor->mParent)
        if (ancestor == child)
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Can't add body '" + child->getName() + "' below itself", "Body::addChild");
    if (child->isDeployed() != isDeployed())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Can't mix deployed and non-deployed bodies in body hierarchy", "Body::addChild");
    mSimulator->removeMovable(child);
    child->mParent = this;
    child->disturb();
    disturb();
    if (isDeployed())
    {
        try
        {
            child->createJoint();
        }
        catch (...)
        {
            // Refused: the body stays the simulator's, or nobody would ever delete it.
            child->mParent = nullptr;
            mSimulator->addMovable(child);
            throw;
        }
    }
    mChildren.push_back(child);
    return static_cast<unsigned>(mChildren.size() - 1);
}

Body* Body::createChild(const std::string& templateName)
{
    Body* child = mSimulator->createBody(templateName);
    addChild(child);
    return child;
}

Body* Body::removeChild(unsigned index)
{
    Body* child = getChild(index);
    child->destroyJoint();
    child->mParent = nullptr;
    child->disturb();
    mChildren.erase(mChildren.begin() + index);
    disturb();
    mSimulator->addMovable(child);
    return child;
}

void Body::destroyChild(unsigned index)
{
    mSimulator->destroyBody(removeChild(index));
}

void Body::destroyChildren()
{
    while (!mChildren.empty())
        destroyChild(static_cast<unsigned>(mChildren.size() - 1));
}

void Body::setStatic(bool isStatic, bool recursive)
{
    if (!mRigidBody)
        return;
    disturb();
    if (isStatic)
        mRigidBody->setMassProps(0.0f, btVector3(0, 0, 0));
    else
    {
        const float mass = mTemplate->getMass();
        if (!(mass > 0.0f))
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Body '" + getName() + "' with zero mass can't be set dynamic", "Body::setStatic");
        btVector3 inertia(0, 0, 0);
        mCollisionShape->calculateLocalInertia(mass, inertia);
        mRigidBody->setMassProps(mass, inertia);
        mFixedInWorld = false;
    }
    mRigidBody->updateInertiaTensor();
    mStatic = isStatic;
    if (recursive)
        for (Body* child : mChildren)
            child->setStatic(isStatic, true);
}

float Body::getBoundingRadius(const Ogre::Vector3& center, bool recursive)
{
    float radius = (center - mPosition).length() + mTemplate->getBoundingRadius();
    if (recursive)
        for (Body* child : mChildren)
            radius = std::max(radius, child->getBoundingRadius(center, true));
    return radius;
}

Movable* Body::trace(const Ogre::Vector3& from, const Ogre::Quaternion& orientation, const Ogre::Vector3& to,
                     std::vector<TTraceContact>* contacts)
{
    const btConvexShape* shape = nullptr;
    btTransform start = Convert::toBullet(orientation, from);
    btTransform end = Convert::toBullet(orientation, to);
    if (mCollisionShape && mCollisionShape->isConvex())
        shape = static_cast<const btConvexShape*>(mCollisionShape);
    else if (mCollisionShape && mCollisionShape->isCompound())
    {
        const btCompoundShape* compound = static_cast<const btCompoundShape*>(mCollisionShape);
        if (compound->getNumChildShapes() > 0 && compound->getChildShape(0)->isConvex())
        {
            shape = static_cast<const btConvexShape*>(compound->getChildShape(0));
            start = start * compound->getChildTransform(0);
            end = end * compound->getChildTransform(0);
        }
    }
    if (!shape)
    {
        Log::error("Convex cast using body '%s' with incompatible shape", getName().c_str());
        return nullptr;
    }

    ClosestConvexResultCallback callback(start.getOrigin(), end.getOrigin(), this);
    callback.m_collisionFilterGroup = 1;
    callback.m_collisionFilterMask = -1;
    mSimulator->getWorld()->convexSweepTest(shape, start, end, callback, 0.0f);
    if (callback.m_closestHitFraction >= 1.0f || !callback.hasHit())
        return nullptr;
    Movable* movable = static_cast<Movable*>(callback.m_hitCollisionObject->getUserPointer());
    if (contacts)
    {
        TTraceContact contact;
        contact.movable = movable;
        contact.position = Convert::toOgre(callback.m_hitPointWorld);
        contact.normal = Convert::toOgre(callback.m_hitNormalWorld);
        contact.distance = (to - from).length() * callback.m_closestHitFraction;
        contacts->push_back(contact);
    }
    return movable;
}
} // namespace brix
