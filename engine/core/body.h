#pragma once
#include "engine/core/bodytemplate.h"
#include "engine/core/movable.h"
#include "engine/core/simulator.h"

#include <string>
#include <vector>

class btCollisionShape;
class btRigidBody;
class btTriangleMesh;
class btTypedConstraint;

namespace brix
{
// The rigid-body movable: one Bullet rigid body built from a template, and a tree of child
// bodies tied to it by joints. The simulator creates it undeployed; deploy builds the rigid
// body, joint and sensors at a pose. Forces and torques accumulate in world space and act on
// every step until cleared; pose and velocity are cached after every step.
class Body : public Movable
{
public:
    // The reading of one sensor after the last step.
    struct SensorData
    {
        // The last reading is valid (a ray sensor hit something).
        bool active = false;
        TTraceContact contact;
        float value = 0.0f;
    };

    // Builds the collision shape and one child body per child template. The template stays
    // the simulator's. Throws for a template without shapes or with an unknown shape type.
    Body(Simulator* simulator, Body* parent, const BodyTemplate* bodyTemplate);
    // Deletes the children first, then takes the joint and the rigid body out of the world.
    ~Body() override;

    void clearForces(bool recursive) override;
    void addForce(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) override;
    void addForceLocal(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) override;
    void addTorque(const Ogre::Vector3& torque, bool recursive) override;
    // Does nothing for a template of mass 0.
    void applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& point, bool recursive) override;
    // A child takes its pose from its parent and its template, not from the arguments. Runs
    // once per body; throws for an unknown material, an unsupported joint, or a child whose
    // parent is not deployed yet.
    void deploy(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) override;
    // Neither moves the children nor wakes the body.
    void warp(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
              const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) override;
    bool isDeployed() const override { return mRigidBody != nullptr; }
    // Adds the rigid body to the world or takes it out; not recursive.
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return mEnabled; }
    Ogre::Vector3 getPosition() override { return mPosition; }
    Ogre::Quaternion getOrientation() override { return mOrientation; }
    Ogre::Vector3 getLinearVelocity() override { return mLinearVelocity; }
    Ogre::Vector3 getLinearVelocityAtPoint(const Ogre::Vector3& point) override;
    Ogre::Vector3 getAngularVelocity() override { return mAngularVelocity; }
    // The template's mass, also while the body is static.
    float getMass() const override;
    void clearContacts(bool recursive) override;
    // Marks the whole tree.
    void terminate() override;
    void beforeSimulation(const float& step) override;
    void afterSimulation(const float& step) override;

    const std::string& getName() const;
    const BodyTemplate* getTemplate() const { return mTemplate; }
    Body* getParent() const { return mParent; }
    // Bullet put the body to sleep in the last step.
    bool isAtRest() const { return mAtRest; }

    unsigned numSensors() const;
    // The caller keeps the index below numSensors().
    Ogre::Vector3 getSensorOrigin(unsigned index);
    // The last value while the reading is active, else 0. Throws for a bad index.
    float getSensorValue(unsigned index) const;
    const SensorData& getSensorData(unsigned index) const;

    unsigned numChildren() const { return static_cast<unsigned>(mChildren.size()); }
    // Throws for a bad index.
    Body* getChild(unsigned index) const;
    Body* getChild(const std::string& name, bool recursive) const;
    // Takes a parentless body of the same deployed state out of the simulator's list and
    // returns its index. Throws otherwise, or when the child's joint cannot be built; the
    // body then stays in the simulator's list.
    unsigned addChild(Body* child);
    Body* createChild(const std::string& templateName);
    // Hands the child back to the simulator's list and returns it.
    Body* removeChild(unsigned index);
    // Removes the child and marks it for deletion at the next flush.
    void destroyChild(unsigned index);
    void destroyChildren();

    // Deployed bodies only. Throws when a template of mass 0 is made dynamic.
    void setStatic(bool isStatic, bool recursive);
    bool isStatic() const { return mStatic; }
    // Distance from the center to this body plus its template's bounding radius; with
    // recursive, the largest such value over the tree.
    float getBoundingRadius(const Ogre::Vector3& center, bool recursive);
    // Sweeps this body's (first convex) shape from one point to another at the given
    // orientation. Returns the movable of the closest hit, or null; a hit is appended to
    // the contacts when they are given.
    Movable* trace(const Ogre::Vector3& from, const Ogre::Quaternion& orientation, const Ogre::Vector3& to,
                   std::vector<TTraceContact>* contacts);

private:
    void createCollisionShape();
    btCollisionShape* createCollisionShape(const BodyTemplate::TShape& shape);
    void destroyCollisionShape();
    void createJoint();
    void destroyJoint();
    void setTransformation(const Ogre::Vector3& position, const Ogre::Quaternion& orientation);
    void checkSensorIndex(unsigned index, const char* source) const;
    // The step work of this body would change nothing: it is fixed in the world and has no
    // controller, children, sensors or forces. A level's blocks spend their lives like this.
    bool canIdle() const;
    // Something about the body changed: the next step runs its whole step work again.
    void disturb();

    const BodyTemplate* mTemplate;
    Body* mParent;
    std::vector<Body*> mChildren;
    btCollisionShape* mCollisionShape = nullptr;
    btTriangleMesh* mTriangleMesh = nullptr;
    // Every shape and mesh the body built, the parts of a compound included.
    std::vector<btCollisionShape*> mOwnedShapes;
    std::vector<btTriangleMesh*> mOwnedMeshes;
    btRigidBody* mRigidBody = nullptr;
    btTypedConstraint* mJoint = nullptr;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 mLinearVelocity = Ogre::Vector3::ZERO;
    Ogre::Vector3 mAngularVelocity = Ogre::Vector3::ZERO;
    Ogre::Vector3 mForce = Ogre::Vector3::ZERO;
    Ogre::Vector3 mTorque = Ogre::Vector3::ZERO;
    std::vector<SensorData> mSensorData;
    bool mStatic = false;
    bool mEnabled = false;
    bool mAtRest = false;
    bool mForcesDirty = false;
    // The rigid body entered the world static and stayed so: Bullet neither moves it nor
    // changes its activation state.
    bool mFixedInWorld = false;
    // The last beforeSimulation found the body able to idle.
    bool mQuietStep = false;
};
} // namespace brix
