#include "engine/core/body.h"
#include "engine/core/movablecontroller.h"
#include "engine/core/movablevelocitycontroller.h"
#include "physicsworld.h"

#include <OgreException.h>

#include <btBulletDynamicsCommon.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using test::exceptionText;
using testing::Contains;

namespace
{

// The rigid body Bullet holds for a deployed body.
const btRigidBody* rigidBodyOf(brix::Simulator& simulator, brix::Body* body)
{
    const btCollisionObjectArray& objects = simulator.getWorld()->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i)
        if (objects[i]->getUserPointer() == static_cast<brix::Movable*>(body))
            return btRigidBody::upcast(objects[i]);
    return nullptr;
}

brix::BodyTemplate::TShape shape(unsigned type, const Ogre::Vector3& size,
                                 const Ogre::Vector3& position = Ogre::Vector3::ZERO)
{
    brix::BodyTemplate::TShape result;
    result.type = type;
    result.size = size;
    result.position = position;
    return result;
}

const Ogre::Vector3 ONE(1.0f, 1.0f, 1.0f);
} // namespace

TEST(Body, BuildsTheCollisionShapeFromTheTemplate)
{
    test::PhysicsWorld world;
    world.boxTemplate("box", Ogre::Vector3(1, 2, 3), 1.0f);
    world.shapeTemplate("ball", brix::BodyTemplate::SHAPE_SPHERE, ONE, 1.0f);
    world.shapeTemplate("egg", brix::BodyTemplate::SHAPE_SPHERE, Ogre::Vector3(1, 2, 1), 1.0f);
    world.shapeTemplate("pole", brix::BodyTemplate::SHAPE_CYLINDER, Ogre::Vector3(1, 4, 1), 1.0f);
    world.simulator.createTemplate("raised")->addShape(
        shape(brix::BodyTemplate::SHAPE_BOX, ONE, Ogre::Vector3(0, 1, 0)));
    brix::BodyTemplate* pair = world.simulator.createTemplate("pair");
    pair->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));
    pair->addShape(shape(brix::BodyTemplate::SHAPE_SPHERE, ONE, Ogre::Vector3(0, 1, 0)));

    auto shapeOf = [&](const char* name) {
        return rigidBodyOf(world.simulator, world.deployBody(name, Ogre::Vector3::ZERO))->getCollisionShape();
    };
    const btCollisionShape* box = shapeOf("box");
    ASSERT_EQ(box->getShapeType(), BOX_SHAPE_PROXYTYPE);
    EXPECT_EQ(static_cast<const btBoxShape*>(box)->getHalfExtentsWithMargin(), btVector3(0.5f, 1.0f, 1.5f));
    const btCollisionShape* ball = shapeOf("ball");
    ASSERT_EQ(ball->getShapeType(), SPHERE_SHAPE_PROXYTYPE);
    EXPECT_FLOAT_EQ(static_cast<const btSphereShape*>(ball)->getRadius(), 0.5f);
    const btCollisionShape* egg = shapeOf("egg");
    ASSERT_EQ(egg->getShapeType(), MULTI_SPHERE_SHAPE_PROXYTYPE);
    EXPECT_EQ(egg->getLocalScaling(), btVector3(0.5f, 1.0f, 0.5f));
    EXPECT_EQ(shapeOf("pole")->getShapeType(), CYLINDER_SHAPE_PROXYTYPE);
    EXPECT_EQ(shapeOf("raised")->getShapeType(), COMPOUND_SHAPE_PROXYTYPE);
    const btCollisionShape* compound = shapeOf("pair");
    ASSERT_EQ(compound->getShapeType(), COMPOUND_SHAPE_PROXYTYPE);
    EXPECT_EQ(static_cast<const btCompoundShape*>(compound)->getNumChildShapes(), 2);
    EXPECT_EQ(static_cast<const btCompoundShape*>(compound)->getChildTransform(1).getOrigin(),
              btVector3(0, 1, 0));
}

TEST(Body, HullBoundsHoldEveryPoint)
{
    test::PhysicsWorld world;
    brix::BodyTemplate::TShape hull = shape(brix::BodyTemplate::SHAPE_HULL, ONE);
    for (int i = 0; i < 3000; ++i)
        hull.points.emplace_back(float(i % 10) * 0.2f - 1.0f, float(i / 10 % 10) * 0.2f - 1.0f,
                                 float(i / 100 % 10) * 0.2f - 1.0f);
    // The farthest points on each side come first, in the middle and last.
    hull.points[0] = Ogre::Vector3(3.0f, 0.0f, 0.0f);
    hull.points[1500] = Ogre::Vector3(0.0f, -2.0f, 0.0f);
    hull.points[1501] = Ogre::Vector3(0.0f, 0.0f, -4.0f);
    hull.points.emplace_back(-1.5f, 0.0f, 0.0f);
    hull.points.emplace_back(0.0f, 2.5f, 0.0f);
    hull.points.emplace_back(0.0f, 0.0f, 5.0f);
    brix::BodyTemplate* bodyTemplate = world.simulator.createTemplate("hull");
    bodyTemplate->addShape(hull);
    bodyTemplate->setMass(1.0f);

    const btCollisionShape* built =
        rigidBodyOf(world.simulator, world.deployBody("hull", Ogre::Vector3::ZERO))->getCollisionShape();
    ASSERT_EQ(built->getShapeType(), CONVEX_HULL_SHAPE_PROXYTYPE);
    EXPECT_EQ(static_cast<const btConvexHullShape*>(built)->getNumPoints(), 3003);
    btVector3 low, high;
    built->getAabb(btTransform::getIdentity(), low, high);
    // Bullet pads the bounds by the 0.04 collision margin twice.
    EXPECT_NEAR(low.x(), -1.58f, 1e-5f);
    EXPECT_NEAR(low.y(), -2.08f, 1e-5f);
    EXPECT_NEAR(low.z(), -4.08f, 1e-5f);
    EXPECT_NEAR(high.x(), 3.08f, 1e-5f);
    EXPECT_NEAR(high.y(), 2.58f, 1e-5f);
    EXPECT_NEAR(high.z(), 5.08f, 1e-5f);
}

TEST(Body, RefusesTemplatesItCannotBuild)
{
    test::PhysicsWorld world;
    world.simulator.createTemplate("empty");
    EXPECT_EQ(exceptionText([&] { world.simulator.createBody("empty"); }),
              "Attempt to create a body 'empty' with no shape");
    world.shapeTemplate("odd", 9, ONE, 1.0f);
    EXPECT_EQ(exceptionText([&] { world.simulator.createBody("odd"); }), "Unsupported collision shape type");
    world.shapeTemplate("hollow", brix::BodyTemplate::SHAPE_MESH, ONE, 1.0f);
    EXPECT_THROW(world.simulator.createBody("hollow"), Ogre::InvalidParametersException);

    // A bad child leaves nothing behind.
    brix::BodyTemplate* parent = world.boxTemplate("parent", ONE, 1.0f);
    parent->createChild("empty");
    EXPECT_THROW(world.simulator.createBody("parent"), Ogre::InvalidParametersException);
    world.ticks(1);
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 0);
}

TEST(Body, DropsOntoTheFloorAndComesToRest)
{
    test::PhysicsWorld world;
    world.boxTemplate("box", ONE, 1.0f);
    world.floor();
    brix::Body* box = world.deployBody("box", Ogre::Vector3(0.0f, 3.0f, 0.0f));
    EXPECT_FALSE(box->isStatic());
    world.ticks(200);
    EXPECT_NEAR(box->getPosition().y, 0.5f, 0.01f);
    EXPECT_TRUE(box->isAtRest());

    // Deploying again would leave a second rigid body behind: it is refused.
    box->deploy(Ogre::Vector3(0, 9, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 2);
    EXPECT_NEAR(box->getPosition().y, 0.5f, 0.01f);

    // A warped body is where rays look for it at once, before the next step.
    box->warp(Ogre::Vector3(10, 0.5f, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
              Ogre::Vector3::ZERO);
    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(10, 5, 0), Ogre::Vector3(10, -5, 0), nullptr, nullptr),
              box);
}

TEST(Body, MaterialElasticityBecomesFrictionAndFrictionRestitution)
{
    test::PhysicsWorld world;
    world.simulator.addMaterial("rubber", 0.3f, 0.9f);
    world.boxTemplate("plain", ONE, 1.0f);
    world.boxTemplate("rubber", ONE, 1.0f)->setMaterial("rubber");
    world.boxTemplate("strange", ONE, 1.0f)->setMaterial("unobtainium");

    const btRigidBody* plain = rigidBodyOf(world.simulator, world.deployBody("plain", Ogre::Vector3::ZERO));
    EXPECT_FLOAT_EQ(plain->getFriction(), 0.5f);
    EXPECT_FLOAT_EQ(plain->getRestitution(), 0.0f);
    const btRigidBody* rubber = rigidBodyOf(world.simulator, world.deployBody("rubber", Ogre::Vector3::ZERO));
    EXPECT_FLOAT_EQ(rubber->getFriction(), 0.9f);
    EXPECT_FLOAT_EQ(rubber->getRestitution(), 0.3f);
    EXPECT_EQ(exceptionText([&] { world.deployBody("strange", Ogre::Vector3::ZERO); }),
              "Simulator material 'unobtainium' not found");
}

TEST(Body, TakesDampingGravityFactorAndSleepFromTheTemplate)
{
    test::PhysicsWorld world;
    brix::BodyTemplate* feather = world.boxTemplate("feather", ONE, 2.0f);
    feather->setLinearDamping(0.25f);
    feather->setAngularDamping(0.5f);
    feather->setGravityFactor(0.5f);
    feather->setAutoSleep(false);
    brix::Body* body = world.deployBody("feather", Ogre::Vector3::ZERO);
    const btRigidBody* rigid = rigidBodyOf(world.simulator, body);
    EXPECT_FLOAT_EQ(rigid->getLinearDamping(), 0.25f);
    EXPECT_FLOAT_EQ(rigid->getAngularDamping(), 0.5f);
    EXPECT_FLOAT_EQ(rigid->getGravity().y(), -4.9f);
    EXPECT_EQ(rigid->getActivationState(), DISABLE_DEACTIVATION);
    EXPECT_FLOAT_EQ(rigid->getInvMass(), 0.5f);

    // The factor survives taking the body out of the world and back.
    body->setEnabled(false);
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 0);
    body->setEnabled(true);
    EXPECT_FLOAT_EQ(rigid->getGravity().y(), -4.9f);
}

TEST(Body, ForcesActUntilClearedAndImpulsesOnce)
{
    test::PhysicsWorld world;
    world.simulator.setGravity(Ogre::Vector3::ZERO);
    brix::BodyTemplate* puck = world.boxTemplate("puck", ONE, 2.0f);
    puck->setLinearDamping(1e-6f);
    puck->setAngularDamping(1e-6f);
    brix::Body* body = world.deployBody("puck", Ogre::Vector3::ZERO);

    // 4 N on 2 kg: 2 m/s² for each of the four steps of two ticks.
    body->addForce(Ogre::Vector3(4, 0, 0), body->getPosition(), false);
    world.ticks(2);
    EXPECT_NEAR(body->getLinearVelocity().x, 0.1f, 1e-4f);
    body->clearForces(false);
    world.ticks(2);
    EXPECT_NEAR(body->getLinearVelocity().x, 0.1f, 1e-4f);

    body->applyImpulse(Ogre::Vector3(0, 1, 0), body->getPosition(), false);
    world.ticks(2);
    EXPECT_NEAR(body->getLinearVelocity().y, 0.5f, 1e-4f);

    // A force off the center also turns the body.
    body->addForce(Ogre::Vector3(0, 1, 0), body->getPosition() + Ogre::Vector3(1, 0, 0), false);
    world.ticks(1);
    EXPECT_GT(body->getAngularVelocity().z, 0.0f);
}

TEST(Body, ImpulseOnAMasslessTemplateNeitherMovesNorWakesIt)
{
    test::PhysicsWorld world;
    world.boxTemplate("block", ONE, 0.0f);
    brix::Body* block = world.deployBody("block", Ogre::Vector3::ZERO);
    EXPECT_TRUE(block->isStatic());
    block->applyImpulse(Ogre::Vector3(0, 100, 0), Ogre::Vector3::ZERO, false);
    world.ticks(2);
    EXPECT_EQ(block->getPosition(), Ogre::Vector3::ZERO);
    EXPECT_EQ(block->getLinearVelocity(), Ogre::Vector3::ZERO);
    EXPECT_EQ(exceptionText([&] { block->setStatic(false, false); }),
              "Body 'block' with zero mass can't be set dynamic");
}

TEST(Body, StaticBodiesStayPutAndCanBeMadeDynamicAgain)
{
    test::PhysicsWorld world;
    world.boxTemplate("crate", ONE, 1.0f);
    brix::Body* crate = world.deployBody("crate", Ogre::Vector3(0, 5, 0));
    crate->setStatic(true, false);
    world.ticks(10);
    EXPECT_EQ(crate->getPosition(), Ogre::Vector3(0, 5, 0));
    EXPECT_FLOAT_EQ(crate->getMass(), 1.0f);
    crate->setStatic(false, false);
    crate->addForce(Ogre::Vector3::ZERO, crate->getPosition(), false);
    world.ticks(10);
    EXPECT_LT(crate->getPosition().y, 5.0f);
}

TEST(Body, StaticBlocksKeepReportingContactsAndFollowEveryChange)
{
    struct Counter : brix::MovableController
    {
        void update(brix::Movable* movable, float step) override { ++calls; }
        int calls = 0;
    } counter;
    test::PhysicsWorld world;
    world.boxTemplate("block", Ogre::Vector3(1, 1, 2), 0.0f);
    world.boxTemplate("plank", Ogre::Vector3(1.6f, 1, 1), 1.0f)->setAutoSleep(false);
    brix::Body* left = world.deployBody("block", Ogre::Vector3(-0.5f, -0.5f, 0));
    brix::Body* right = world.deployBody("block", Ogre::Vector3(0.5f, -0.5f, 0));
    brix::Body* plank = world.deployBody("plank", Ogre::Vector3(0, 0.5f, 0));
    world.ticks(40);

    // Long after settling, each block still hears of the plank on every step and the plank of both.
    for (int tick = 0; tick < 3; ++tick)
    {
        world.ticks(1, false);
        ASSERT_EQ(left->numContacts(), 2u);
        ASSERT_EQ(right->numContacts(), 2u);
        ASSERT_EQ(plank->numContacts(), 4u);
        for (brix::Body* block : {left, right})
        {
            EXPECT_EQ(block->getContact(1).movable, plank);
            EXPECT_NEAR(block->getContact(1).normal.y, -1.0f, 1e-3f);
        }
        int onLeft = 0;
        for (unsigned i = 0; i < 4; ++i)
            onLeft += plank->getContact(i).movable == left;
        EXPECT_EQ(onLeft, 2);
        world.simulator.flush();
    }
    EXPECT_TRUE(left->isAtRest());
    EXPECT_NEAR(plank->getPosition().y, 0.5f, 0.01f);

    // Forces reach the rigid body on the next step and leave it once cleared.
    const btRigidBody* rigid = rigidBodyOf(world.simulator, left);
    left->addForce(Ogre::Vector3(0, 5, 0), left->getPosition(), false);
    world.ticks(1);
    EXPECT_EQ(rigid->getTotalForce(), btVector3(0, 5, 0));
    left->clearForces(false);
    world.ticks(1);
    EXPECT_EQ(rigid->getTotalForce(), btVector3(0, 0, 0));

    left->setController(&counter);
    world.ticks(2);
    EXPECT_EQ(counter.calls, 4);
    left->setController(nullptr);

    // Warped, the block reads its pose back from the world after the next step: the same
    // turn of 45 degrees about y, with the sign the world keeps.
    const Ogre::Quaternion turned(-0.9238795f, 0.0f, -0.3826834f, 0.0f);
    right->warp(Ogre::Vector3(0.5f, -0.5f, 10), turned, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    world.ticks(1);
    const btQuaternion held = rigidBodyOf(world.simulator, right)->getWorldTransform().getRotation();
    EXPECT_GT(held.w(), 0.0f);
    EXPECT_EQ(right->getOrientation(), Ogre::Quaternion(held.w(), held.x(), held.y(), held.z()));
    EXPECT_EQ(right->getPosition(), Ogre::Vector3(0.5f, -0.5f, 10));
    EXPECT_EQ(
        world.simulator.traceRay(Ogre::Vector3(0.5f, 5, 10), Ogre::Vector3(0.5f, -5, 10), nullptr, nullptr),
        right);
}

TEST(Body, DeploysEachChildOnceFromTheParentsPose)
{
    test::PhysicsWorld world;
    brix::BodyTemplate* root = world.boxTemplate("root", ONE, 1.0f);
    for (int i = 0; i < 3; ++i)
    {
        brix::BodyTemplate* child = root->createChild("child" + std::to_string(i));
        child->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));
        child->setMass(1.0f);
        child->setPosition(Ogre::Vector3(float(i + 1), 0, 0));
    }
    root->getChild(2)->createChild("grandchild")->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));

    brix::Body* body = world.simulator.createBody("root");
    const Ogre::Quaternion turn(Ogre::Degree(90), Ogre::Vector3::UNIT_Z);
    body->deploy(Ogre::Vector3(10, 0, 0), turn, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 5);
    ASSERT_EQ(body->numChildren(), 3u);
    for (unsigned i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(body->getChild(i)->isDeployed());
        EXPECT_LT(body->getChild(i)->getPosition().distance(Ogre::Vector3(10, float(i + 1), 0)), 1e-5f);
    }
    EXPECT_EQ(body->getChild("grandchild", false), nullptr);
    EXPECT_EQ(body->getChild("grandchild", true), body->getChild(2)->getChild(0u));
    EXPECT_EQ(exceptionText([&] { body->getChild(3u); }), "Body 'root' child index 3 out of range");

    // The whole tree goes at one flush.
    world.simulator.destroyBody(body);
    world.simulator.flush();
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 0);
}

TEST(Body, ChildrenMoveBetweenBodyAndSimulator)
{
    test::PhysicsWorld world;
    world.boxTemplate("part", ONE, 1.0f);
    brix::Body* deployed = world.deployBody("part", Ogre::Vector3::ZERO);
    brix::Body* loose = world.simulator.createBody("part");
    EXPECT_EQ(exceptionText([&] { loose->addChild(deployed); }),
              "Can't mix deployed and non-deployed bodies in body hierarchy");

    brix::Body* other = world.deployBody("part", Ogre::Vector3(3, 0, 0));
    EXPECT_EQ(deployed->addChild(other), 0u);
    EXPECT_EQ(exceptionText([&] { loose->addChild(other); }), "Can't add child body to multiple parents");
    EXPECT_EQ(other->getParent(), deployed);
    EXPECT_EQ(exceptionText([&] { deployed->addChild(deployed); }), "Can't add body 'part' below itself");

    // A child deploys with its parent, never before it: its joint and pose need the parent's.
    brix::BodyTemplate* rail = world.boxTemplate("rail", ONE, 0.0f);
    brix::BodyTemplate* car = rail->createChild("car");
    car->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));
    car->setMass(1.0f);
    brix::BodyTemplate::TJoint fixed;
    fixed.type = brix::BodyTemplate::JOINT_FIXED;
    car->setJoint(fixed);
    brix::Body* track = world.simulator.createBody("rail");
    EXPECT_EQ(exceptionText(
                  [&]
                  {
                      track->getChild(0u)->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY,
                                                  Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
                  }),
              "Can't mix deployed and non-deployed bodies in body hierarchy");
    EXPECT_FALSE(track->getChild(0u)->isDeployed());
    track->deploy(Ogre::Vector3(0, 10, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                  Ogre::Vector3::ZERO);
    EXPECT_TRUE(track->getChild(0u)->isDeployed());
    EXPECT_EQ(world.simulator.getWorld()->getNumConstraints(), 1);
    world.simulator.destroyBody(track);

    // A child is driven by its parent only; handed back, it is driven by the simulator again.
    world.ticks(1);
    EXPECT_LT(other->getPosition().y, 0.0f);
    brix::Body* removed = deployed->removeChild(0);
    EXPECT_EQ(removed, other);
    EXPECT_EQ(other->getParent(), nullptr);
    deployed->addChild(other);
    deployed->destroyChildren();
    EXPECT_EQ(deployed->numChildren(), 0u);
    EXPECT_TRUE(other->isTerminated());
    world.simulator.flush();
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), 1);
}

TEST(Body, JointsHoldChildrenToTheirParent)
{
    test::LogCapture log;
    test::PhysicsWorld world;
    brix::BodyTemplate* frame = world.boxTemplate("frame", Ogre::Vector3(4, 0.2f, 1), 0.0f);
    brix::BodyTemplate* door = frame->createChild("door");
    door->addShape(shape(brix::BodyTemplate::SHAPE_BOX, Ogre::Vector3(1, 2, 0.2f)));
    door->setMass(10.0f);
    door->setPosition(Ogre::Vector3(0, -1.5f, 0));
    brix::BodyTemplate::TJoint slider;
    slider.type = brix::BodyTemplate::JOINT_SLIDER;
    slider.axes[0].direction = Ogre::Vector3::UNIT_Y;
    slider.axes[0].low = -1.0f;
    slider.axes[0].high = 0.0f;
    door->setJoint(slider);

    // The frame hangs away from the origin: the joint holds the pose the door was deployed in.
    brix::Body* body = world.deployBody("frame", Ogre::Vector3(5, 4, 0));
    brix::Body* panel = body->getChild(0u);
    world.ticks(40);
    EXPECT_NEAR(panel->getPosition().x, 5.0f, 1e-3f);
    EXPECT_NEAR(panel->getPosition().z, 0.0f, 1e-3f);
    EXPECT_GT(panel->getPosition().y, 1.4f);
    EXPECT_LT(panel->getPosition().y, 2.6f);

    // A fixed joint on a body without parent builds nothing and says so.
    brix::BodyTemplate* lonely = world.boxTemplate("lonely", ONE, 1.0f);
    brix::BodyTemplate::TJoint fixed;
    fixed.type = brix::BodyTemplate::JOINT_FIXED;
    lonely->setJoint(fixed);
    world.deployBody("lonely", Ogre::Vector3(20, 0, 0));
    EXPECT_EQ(world.simulator.getWorld()->getNumConstraints(), 1);
    EXPECT_THAT(log.lines(), Contains("D Joint of type 4 in body 'lonely' requires parent"));

    // Hinges load but cannot be built.
    brix::BodyTemplate* hinged = world.boxTemplate("hinged", ONE, 1.0f);
    brix::BodyTemplate::TJoint hinge;
    hinge.type = brix::BodyTemplate::JOINT_HINGE;
    hinged->createChild("leaf")->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));
    hinged->getChild(0)->setJoint(hinge);
    EXPECT_EQ(exceptionText([&] { world.deployBody("hinged", Ogre::Vector3(30, 0, 0)); }),
              "Unsupported joint type in body 'leaf'");

    // A body whose joint cannot be built is refused as a child and stays the simulator's.
    brix::BodyTemplate* leaf = world.boxTemplate("leaf", ONE, 1.0f);
    leaf->setJoint(hinge);
    brix::Body* loose = world.deployBody("leaf", Ogre::Vector3(40, 0, 0));
    brix::Body* holder = world.deployBody("lonely", Ogre::Vector3(40, 5, 0));
    const int objects = world.simulator.getWorld()->getNumCollisionObjects();
    EXPECT_EQ(exceptionText([&] { holder->addChild(loose); }), "Unsupported joint type in body 'leaf'");
    EXPECT_EQ(loose->getParent(), nullptr);
    EXPECT_EQ(holder->numChildren(), 0u);
    world.simulator.destroyBody(loose);
    world.simulator.flush();
    EXPECT_EQ(world.simulator.getWorld()->getNumCollisionObjects(), objects - 1);
}

TEST(Body, SliderTravelsAlongItsDirectionBetweenLowAndHigh)
{
    // Where a slider from 0 to 2 lets a block go when it is driven along a direction.
    auto travel = [](const Ogre::Vector3& direction, const Ogre::Vector3& drive)
    {
        test::PhysicsWorld world;
        world.simulator.setGravity(Ogre::Vector3::ZERO);
        brix::BodyTemplate* rail = world.boxTemplate("rail", Ogre::Vector3(0.2f, 0.2f, 0.2f), 0.0f);
        brix::BodyTemplate* car = rail->createChild("car");
        car->addShape(shape(brix::BodyTemplate::SHAPE_BOX, Ogre::Vector3(0.5f, 0.5f, 0.5f)));
        car->setMass(10.0f);
        car->setPosition(Ogre::Vector3(3, 0, 0));
        brix::BodyTemplate::TJoint slider;
        slider.type = brix::BodyTemplate::JOINT_SLIDER;
        slider.axes[0].direction = direction.normalisedCopy();
        slider.axes[0].high = 2.0f;
        car->setJoint(slider);
        brix::Body* body = world.deployBody("rail", Ogre::Vector3(1, 2, 3));
        brix::Body* moving = body->getChild(0u);
        const Ogre::Vector3 start = moving->getPosition();
        brix::MovableVelocityController controller(10000.0f, 2000.0f);
        controller.setTarget(drive);
        moving->setController(&controller);
        world.ticks(200);
        return moving->getPosition() - start;
    };
    const float tolerance = 0.01f;
    // The door's depth axis, both ways.
    EXPECT_LT(travel(Ogre::Vector3::UNIT_Z, Ogre::Vector3::UNIT_Z).distance(Ogre::Vector3(0, 0, 2)),
              tolerance);
    EXPECT_LT(travel(Ogre::Vector3::UNIT_Z, -Ogre::Vector3::UNIT_Z).length(), tolerance);
    // Along x the limits are not mirrored.
    EXPECT_LT(travel(Ogre::Vector3::UNIT_X, Ogre::Vector3::UNIT_X).distance(Ogre::Vector3(2, 0, 0)),
              tolerance);
    EXPECT_LT(travel(Ogre::Vector3::UNIT_X, -Ogre::Vector3::UNIT_X).length(), tolerance);
    // A slanted direction slides along itself, not across.
    const Ogre::Vector3 slant = Ogre::Vector3(1, 1, 0).normalisedCopy();
    EXPECT_LT(travel(slant, slant).distance(slant * 2.0f), tolerance);
    EXPECT_LT(travel(slant, Ogre::Vector3(1, -1, 0)).length(), tolerance);
}

TEST(Body, SliderWithoutRangeIsFreeAndLimitJointHoldsThePlane)
{
    test::PhysicsWorld world;
    brix::BodyTemplate* rail = world.boxTemplate("rail", ONE, 0.0f);
    brix::BodyTemplate* car = rail->createChild("car");
    car->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE));
    car->setMass(1.0f);
    car->setPosition(Ogre::Vector3(0, 2, 0));
    brix::BodyTemplate::TJoint slider;
    slider.type = brix::BodyTemplate::JOINT_SLIDER;
    slider.axes[0].direction = Ogre::Vector3::UNIT_Y;
    car->setJoint(slider);
    brix::Body* body = world.deployBody("rail", Ogre::Vector3::ZERO);
    btTypedConstraint* joint = world.simulator.getWorld()->getConstraint(0);
    ASSERT_EQ(joint->getConstraintType(), SLIDER_CONSTRAINT_TYPE);
    btSliderConstraint* sliderJoint = static_cast<btSliderConstraint*>(joint);
    EXPECT_FLOAT_EQ(sliderJoint->getLowerLinLimit(), 1.0f);
    EXPECT_FLOAT_EQ(sliderJoint->getUpperLinLimit(), -1.0f);
    world.ticks(10);
    EXPECT_LT(body->getChild(0u)->getPosition().y, 2.0f);

    brix::BodyTemplate* planar = world.boxTemplate("planar", ONE, 1.0f);
    brix::BodyTemplate::TJoint limit;
    limit.type = brix::BodyTemplate::JOINT_LIMIT;
    limit.axes[0].direction = Ogre::Vector3(1, 1, 0);
    limit.axes[1].direction = Ogre::Vector3(0, 0, 1);
    planar->setJoint(limit);
    brix::Body* flat = world.deployBody("planar", Ogre::Vector3(10, 0, 0));
    flat->addForce(Ogre::Vector3(0, 0, 100), Ogre::Vector3(10, 0, 1), false);
    world.ticks(4);
    EXPECT_EQ(flat->getPosition().z, 0.0f);
    EXPECT_EQ(flat->getAngularVelocity().x, 0.0f);
}

TEST(Body, SensorsReadAfterEveryStep)
{
    test::PhysicsWorld world;
    world.floor();
    brix::BodyTemplate* walker = world.shapeTemplate("walker", brix::BodyTemplate::SHAPE_SPHERE, ONE, 1.0f);
    brix::BodyTemplate::TSensor ray;
    ray.name = "ground";
    ray.type = brix::BodyTemplate::SENSOR_RAY;
    ray.origin = Ogre::Vector3::ZERO;
    ray.target = Ogre::Vector3(0, -3, 0);
    walker->addSensor(ray);
    brix::BodyTemplate::TSensor crush;
    crush.type = brix::BodyTemplate::SENSOR_CRUSH;
    walker->addSensor(crush);
    walker->setAutoSleep(false);

    brix::Body* body = world.deployBody("walker", Ogre::Vector3(0, 0.5f, 0));
    EXPECT_EQ(body->numSensors(), 2u);
    EXPECT_EQ(body->getSensorOrigin(0), Ogre::Vector3(0, 0.5f, 0));
    world.ticks(5);
    EXPECT_NEAR(body->getSensorValue(0), 0.5f, 0.01f);
    EXPECT_EQ(body->getSensorData(0).contact.movable,
              world.simulator.getWorld()->getCollisionObjectArray()[0]->getUserPointer());

    // Resting on one point of the floor squeezes from one side only: nothing.
    EXPECT_NEAR(body->getSensorValue(1), 0.0f, 1e-3f);
    EXPECT_TRUE(body->getSensorData(1).active);

    // Lifted out of reach: the reading goes inactive but keeps the last distance.
    body->warp(Ogre::Vector3(0, 10, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    world.ticks(1);
    EXPECT_EQ(body->getSensorValue(0), 0.0f);
    EXPECT_NEAR(body->getSensorData(0).value, 0.5f, 0.01f);
    EXPECT_EQ(exceptionText([&] { body->getSensorValue(2); }), "Body sensor index out of range");
    EXPECT_THROW(body->getSensorData(2), Ogre::InvalidParametersException);
}

TEST(Body, CrushSensorMeasuresSqueezePerSecond)
{
    test::PhysicsWorld world;
    world.floor();
    world.boxTemplate("weight", Ogre::Vector3(2, 1, 2), 50.0f);
    brix::BodyTemplate* victim = world.shapeTemplate("victim", brix::BodyTemplate::SHAPE_SPHERE, ONE, 1.0f);
    brix::BodyTemplate::TSensor crush;
    crush.type = brix::BodyTemplate::SENSOR_CRUSH;
    victim->addSensor(crush);
    victim->setAutoSleep(false);
    brix::Body* body = world.deployBody("victim", Ogre::Vector3(0, 0.5f, 0));
    world.deployBody("weight", Ogre::Vector3(0, 1.5f, 0));
    world.ticks(60);

    // The running total over the two opposite contacts leaves the push of the first one, the
    // floor's, which carries weight and sphere: 51 kg x 9.8 m/s2 = 499.8 N.
    EXPECT_NEAR(body->getSensorValue(0), 499.8f, 2.0f);
}

TEST(Body, ControllerRunsBeforeForcesReachTheRigidBody)
{
    struct Hover : brix::MovableController
    {
        void update(brix::Movable* movable, float step) override
        {
            ++calls;
            movable->clearForces(false);
            movable->addForce(Ogre::Vector3(0, 9.8f, 0), movable->getPosition(), false);
        }
        int calls = 0;
    } hover;
    test::PhysicsWorld world;
    world.boxTemplate("drone", ONE, 1.0f)->setAutoSleep(false);
    brix::Body* drone = world.deployBody("drone", Ogre::Vector3(0, 5, 0));
    drone->setController(&hover);
    world.ticks(10);
    EXPECT_EQ(hover.calls, 20);
    EXPECT_NEAR(drone->getPosition().y, 5.0f, 1e-3f);
}

TEST(Body, TraceSweepsItsShapeAndReportsTheClosestHit)
{
    test::LogCapture log;
    test::PhysicsWorld world;
    world.boxTemplate("wall", Ogre::Vector3(1, 10, 10), 0.0f);
    world.boxTemplate("crate", ONE, 1.0f);
    brix::Body* near = world.deployBody("wall", Ogre::Vector3(5, 0, 0));
    world.deployBody("wall", Ogre::Vector3(8, 0, 0));
    brix::Body* crate = world.deployBody("crate", Ogre::Vector3::ZERO);

    std::vector<brix::TTraceContact> contacts;
    EXPECT_EQ(
        crate->trace(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3(10, 0, 0), &contacts),
        near);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].movable, near);
    // The crate's face (0.5 ahead of its center) meets the wall's face at x = 4.5.
    EXPECT_NEAR(contacts[0].distance, 4.0f, 0.05f);
    EXPECT_NEAR(contacts[0].normal.x, -1.0f, 1e-3f);
    EXPECT_EQ(
        crate->trace(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3(-10, 0, 0), &contacts),
        nullptr);
    EXPECT_EQ(contacts.size(), 1u);

    // A compound sweeps its first shape, where it sits in the body.
    brix::BodyTemplate* offset = world.simulator.createTemplate("offset");
    offset->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE, Ogre::Vector3(0, 20, 0)));
    offset->addShape(shape(brix::BodyTemplate::SHAPE_BOX, ONE, Ogre::Vector3(0, 0, 0)));
    brix::Body* high = world.simulator.createBody("offset");
    EXPECT_EQ(high->trace(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3(10, 0, 0), nullptr),
              nullptr);

    brix::BodyTemplate* ground = world.simulator.createTemplate("ground");
    brix::BodyTemplate::TShape mesh = shape(brix::BodyTemplate::SHAPE_MESH, Ogre::Vector3::ZERO);
    mesh.points = {Ogre::Vector3(0, 0, 0), Ogre::Vector3(0, 0, 1), Ogre::Vector3(1, 0, 0)};
    ground->addShape(mesh);
    EXPECT_EQ(world.simulator.createBody("ground")->trace(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY,
                                                          Ogre::Vector3(10, 0, 0), nullptr),
              nullptr);
    EXPECT_THAT(log.lines(), Contains("E Convex cast using body 'ground' with incompatible shape"));
}
