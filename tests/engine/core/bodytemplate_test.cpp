#include "engine/core/bodytemplate.h"
#include "engine/core/movablevelocitycontroller.h"
#include "engine/core/ogretransform.h"
#include "engine/core/simulator.h"
#include "physicsworld.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using testing::Contains;
using testing::HasSubstr;

namespace
{
// Body files name their point files relative to "data/" under the working directory: each
// test runs in a fresh folder of its own with such a "data" folder.
class BodyTemplateFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof(buffer)), nullptr);
        mPrevious = buffer;
        ASSERT_EQ(chdir(mDir.path().c_str()), 0);
        ASSERT_EQ(mkdir("data", 0755), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(mPrevious.c_str()), 0); }

    // Writes the points as a collision-mesh file under "data/".
    void writePoints(const std::string& name, const std::vector<float>& values)
    {
        std::string bytes(values.size() * 4, '\0');
        if (!values.empty())
            std::memcpy(&bytes[0], values.data(), bytes.size());
        test::writeFile("data/" + name, bytes);
    }

    // Loads one "body" element given as text into a fresh template; the exception's text,
    // or "" when it loads.
    std::string load(const std::string& xml)
    {
        brix::XMLElement element("");
        if (element.parse(xml) < 0)
            return "bad test XML: " + brix::XMLElement::getLastError();
        mTemplate = std::make_unique<brix::BodyTemplate>("loaded");
        try
        {
            mTemplate->load(&element);
        }
        catch (const Ogre::Exception& e)
        {
            return e.getDescription();
        }
        return "";
    }

    static std::string body(const std::string& inner)
    {
        return "<body><name>thing</name>" + inner + "</body>";
    }
    static std::string massive(const std::string& inner) { return body(inner + "<mass>1</mass>"); }
    static std::string box() { return "<shape><type>box</type><data>1 1 1</data></shape>"; }

    test::TempDir mDir;
    std::string mPrevious;
    std::unique_ptr<brix::BodyTemplate> mTemplate;
};
} // namespace

TEST_F(BodyTemplateFiles, ReadsEveryFieldOfABody)
{
    ASSERT_EQ(
        load(body(
            "<offset>1 2 3</offset><rotate>0 0 90</rotate>"
            "<shape><type>cylinder</type><offset>0 1 0</offset><data>2 2 2</data></shape>"
            "<shape><type>sphere</type><data>1 2 1</data></shape>"
            "<sensor><type>ray</type><name>feet</name><origin>0 0 0</origin><target>0 -2 0</target></sensor>"
            "<sensor><type>crush</type></sensor>"
            "<material>wood</material><lineardamping>1.0</lineardamping><angulardamping>0.5</angulardamping>"
            "<gravityfactor>0.25</gravityfactor><autosleep>false</autosleep>"
            "<continuouscollision>true</continuouscollision><mass>3.5</mass>"
            "<body><name>arm</name><offset>1 0 0</offset><mass>1</mass></body>")),
        "");
    const brix::BodyTemplate& t = *mTemplate;
    EXPECT_EQ(t.getName(), "thing");
    EXPECT_EQ(t.getPosition(), Ogre::Vector3(1, 2, 3));
    EXPECT_LT((t.getOrientation() * Ogre::Vector3::UNIT_X).distance(Ogre::Vector3::UNIT_Y), 1e-5f);
    ASSERT_EQ(t.numShapes(), 2u);
    EXPECT_EQ(t.getShape(0).type, unsigned(brix::BodyTemplate::SHAPE_CYLINDER));
    EXPECT_EQ(t.getShape(0).position, Ogre::Vector3(0, 1, 0));
    EXPECT_EQ(t.getShape(1).size, Ogre::Vector3(1, 2, 1));
    // The cylinder reaches sqrt(1² + 2² + 1²); the sphere counts its z extent only.
    EXPECT_FLOAT_EQ(t.getBoundingRadius(), std::sqrt(6.0f));
    ASSERT_EQ(t.numSensors(), 2u);
    EXPECT_EQ(t.getSensor(0).name, "feet");
    EXPECT_EQ(t.getSensor(0).target, Ogre::Vector3(0, -2, 0));
    EXPECT_EQ(t.getSensor(1).type, unsigned(brix::BodyTemplate::SENSOR_CRUSH));
    EXPECT_EQ(t.getMaterial(), "wood");
    EXPECT_FLOAT_EQ(t.getLinearDamping(), 1.0f);
    EXPECT_FLOAT_EQ(t.getAngularDamping(), 0.5f);
    EXPECT_FLOAT_EQ(t.getGravityFactor(), 0.25f);
    EXPECT_FALSE(t.getAutoSleep());
    EXPECT_TRUE(t.getContinuousCollision());
    EXPECT_FLOAT_EQ(t.getMass(), 3.5f);
    EXPECT_FALSE(t.hasJoint());
    ASSERT_EQ(t.numChildren(), 1u);
    EXPECT_EQ(t.getChild(0)->getPosition(), Ogre::Vector3(1, 0, 0));
    EXPECT_EQ(t.getChild("arm", false), t.getChild(0));

    // Defaults of a bare body.
    ASSERT_EQ(load("<body><mass>2</mass></body>"), "");
    EXPECT_EQ(mTemplate->getName(), "unknown");
    EXPECT_FLOAT_EQ(mTemplate->getLinearDamping(), 0.1f);
    EXPECT_FLOAT_EQ(mTemplate->getGravityFactor(), 1.0f);
    EXPECT_TRUE(mTemplate->getAutoSleep());
    EXPECT_EQ(mTemplate->getOrientation(), Ogre::Quaternion::IDENTITY);

    // clear() makes a plain body of mass 1, not the constructor's 0.
    mTemplate->clear();
    EXPECT_FLOAT_EQ(mTemplate->getMass(), 1.0f);
}

TEST_F(BodyTemplateFiles, ChecksDampingBeforeMass)
{
    EXPECT_EQ(load(body("<lineardamping>0</lineardamping>")), "Bad damping factor for body 'thing'");
    EXPECT_EQ(load(massive("<angulardamping>1.5</angulardamping>")), "Bad damping factor for body 'thing'");
    EXPECT_EQ(load(massive("<lineardamping>nonsense</lineardamping>")),
              "Bad damping factor for body 'thing'");
    EXPECT_EQ(load(body("")), "Bad or missing mass for body 'thing'");
    EXPECT_EQ(load(body("<mass>-2</mass>")), "Bad or missing mass for body 'thing'");
    EXPECT_EQ(load(massive("<lineardamping>1</lineardamping>")), "");
    // A bad child stops the whole body.
    EXPECT_EQ(load(massive("<body><name>limb</name></body>")), "Bad or missing mass for body 'limb'");
}

TEST_F(BodyTemplateFiles, RefusesBadShapesSensorsAndJoints)
{
    EXPECT_EQ(load(massive("<shape><type>cone</type></shape>")),
              "Unsupported shape type in body 'thing' ('cone')");
    EXPECT_EQ(load(massive("<shape><type>box</type></shape>")),
              "Geometric shape with bad or missing size data in body 'thing");
    EXPECT_EQ(load(massive("<shape><type>box</type><data>1 -1 1</data></shape>")),
              "Geometric shape with bad or missing size data in body 'thing");
    EXPECT_EQ(load(massive("<shape><type>mesh</type></shape>")),
              "Mesh shape with no data (filename) in body 'thing'");
    EXPECT_EQ(load(massive("<sensor><type>sonar</type></sensor>")),
              "Unsupported sensor type in body 'thing' ('sonar')");
    EXPECT_EQ(load(massive("<joint><type>ball</type></joint>")),
              "Unsupported joint type in body 'thing' ('ball')");
    EXPECT_EQ(load(massive("<joint><type>hinge</type><axis><direction>0 0 1</direction></axis></joint>")),
              "Missing anchor for hinge joint in body 'thing' ('hinge')");
    EXPECT_EQ(load(massive("<joint><type>universal</type><anchor>0 0 0</anchor>"
                           "<axis><direction>0 0 1</direction></axis></joint>")),
              "Not enough axes for universal joint in body 'thing' ('universal')");
    EXPECT_EQ(load(massive("<joint><type>slider</type><axis><direction>0 0 0</direction></axis></joint>")),
              "Bad axis direction in body 'thing' ('slider')");

    // The exception kinds callers may catch.
    brix::XMLElement element("");
    element.parse(massive("<shape><type>cone</type></shape>"));
    brix::BodyTemplate t("t");
    EXPECT_THROW(t.load(&element), Ogre::UnimplementedException);
    element.parse(body(""));
    EXPECT_THROW(t.load(&element), Ogre::InvalidParametersException);
}

TEST_F(BodyTemplateFiles, ReadsJointsOfEveryKind)
{
    ASSERT_EQ(load(massive("<joint><type>slider</type><anchor>bogus</anchor>"
                           "<axis><direction>0 2 0</direction><low>-1</low><high>2</high></axis>"
                           "<axis><direction>1 0 0</direction></axis></joint>")),
              "");
    brix::BodyTemplate::TJoint joint = mTemplate->getJoint();
    EXPECT_EQ(joint.type, unsigned(brix::BodyTemplate::JOINT_SLIDER));
    EXPECT_EQ(joint.axes[0].direction, Ogre::Vector3::UNIT_Y);
    EXPECT_FLOAT_EQ(joint.axes[0].low, -1.0f);
    EXPECT_FLOAT_EQ(joint.axes[0].high, 2.0f);
    EXPECT_EQ(joint.axes[1].direction, Ogre::Vector3::ZERO);

    // One limit missing: both are 0. A limit joint keeps its directions as written.
    ASSERT_EQ(load(massive("<joint><type>limit</type><axis><direction>2 1 0</direction><low>-1</low></axis>"
                           "<axis><direction>0 0 0</direction></axis></joint>")),
              "");
    joint = mTemplate->getJoint();
    EXPECT_EQ(joint.axes[0].direction, Ogre::Vector3(2, 1, 0));
    EXPECT_EQ(joint.axes[0].low, 0.0f);
    EXPECT_EQ(joint.axes[1].direction, Ogre::Vector3::ZERO);

    ASSERT_EQ(
        load(massive("<joint><type>hinge</type><anchor>x y</anchor><axis><direction>0 0 1</direction></axis>"
                     "</joint><joint><type>ball</type></joint>")),
        "");
    EXPECT_EQ(mTemplate->getJoint().type, unsigned(brix::BodyTemplate::JOINT_HINGE));
    EXPECT_EQ(mTemplate->getJoint().anchor, Ogre::Vector3::ZERO);
    ASSERT_EQ(load(massive("<joint><type>fixed</type></joint>")), "");
    EXPECT_TRUE(mTemplate->hasJoint());
    mTemplate->resetJoint();
    EXPECT_FALSE(mTemplate->hasJoint());
}

TEST_F(BodyTemplateFiles, ReadsWholeTrianglesFromPointFiles)
{
    writePoints("tri.pts", {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 2, 0});
    ASSERT_EQ(load(massive("<shape><type>mesh</type><offset>1 0 0</offset><data>tri.pts</data></shape>")),
              "");
    ASSERT_EQ(mTemplate->getShape(0).points.size(), 6u);
    EXPECT_EQ(mTemplate->getShape(0).points[5], Ogre::Vector3(0, 2, 0));
    EXPECT_FLOAT_EQ(mTemplate->getBoundingRadius(), std::sqrt(5.0f));

    test::LogCapture log;
    writePoints("short.pts", {0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5});
    EXPECT_EQ(load(massive("<shape><type>mesh</type><data>short.pts</data></shape>")),
              "Mesh shape data loading from file 'data/short.pts' in body 'thing' failed");
    EXPECT_THAT(log.lines(), Contains("E Collision mesh file 'data/short.pts' size 48 invalid"));
    writePoints("empty.pts", {});
    EXPECT_EQ(load(massive("<shape><type>hull</type><data>empty.pts</data></shape>")),
              "Mesh shape data loading from file 'data/empty.pts' in body 'thing' failed");
    EXPECT_THAT(log.lines(), Contains("E Collision mesh file 'data/empty.pts' size 0 invalid"));
    EXPECT_EQ(load(massive("<shape><type>mesh</type><data>missing.pts</data></shape>")),
              "Mesh shape data loading from file 'data/missing.pts' in body 'thing' failed");
    EXPECT_THAT(log.lines(), Contains("E Collision mesh file 'data/missing.pts' opening failed"));
    writePoints("broken.pts", {0, 0, 0, 1, 0, 0, 0, std::nanf(""), 0});
    EXPECT_NE(load(massive("<shape><type>mesh</type><data>broken.pts</data></shape>")), "");
    EXPECT_THAT(log.lines(), Contains("E Collision mesh file 'data/broken.pts' reading failed"));
}

TEST_F(BodyTemplateFiles, HullKeepsEachPointOnce)
{
    writePoints("hull.pts", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0});
    ASSERT_EQ(load(massive("<shape><type>hull</type><data>hull.pts</data></shape>")), "");
    const std::vector<Ogre::Vector3>& points = mTemplate->getShape(0).points;
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[1], Ogre::Vector3(1, 0, 0));
    EXPECT_EQ(points[3], Ogre::Vector3(0, 0, 1));
}

TEST_F(BodyTemplateFiles, SimulatorLoadsFilesAndKeepsWhatCameBeforeAnError)
{
    test::PhysicsWorld world;
    test::writeFile("materials.xml",
                    "<materials><material><name>ice</name><elasticity>0.05</elasticity></material>"
                    "<material><name>ice</name></material></materials>");
    try
    {
        world.simulator.loadMaterials("materials.xml");
        ADD_FAILURE() << "duplicate material accepted";
    }
    catch (const Ogre::ItemIdentityException& e)
    {
        EXPECT_EQ(e.getDescription(), "Duplicate simulator material 'ice'");
    }
    float friction = 0, elasticity = 0;
    world.simulator.getMaterialProperties("ice", elasticity, friction);
    EXPECT_FLOAT_EQ(elasticity, 0.05f);
    EXPECT_FLOAT_EQ(friction, 0.1f);

    test::writeFile("nameless.xml", "<materials><material><friction>1</friction></material></materials>");
    EXPECT_THROW(world.simulator.loadMaterials("nameless.xml"), Ogre::ItemIdentityException);
    try
    {
        world.simulator.loadMaterials("absent.xml");
    }
    catch (const Ogre::FileNotFoundException& e)
    {
        EXPECT_EQ(e.getDescription(), "Simulator material definition 'absent.xml' loading failed: -1");
    }

    test::writeFile("one.xml", "<body><name>single</name><mass>1</mass></body>");
    world.simulator.loadTemplates("one.xml");
    EXPECT_TRUE(world.simulator.hasTemplate("single"));

    test::writeFile("bodies.xml",
                    "<bodies><body><name>good</name><mass>1</mass></body>"
                    "<body><name>bad</name></body><body><name>later</name><mass>1</mass></body></bodies>");
    EXPECT_THROW(world.simulator.loadTemplates("bodies.xml"), Ogre::InvalidParametersException);
    EXPECT_TRUE(world.simulator.hasTemplate("good"));
    EXPECT_FALSE(world.simulator.hasTemplate("bad"));
    EXPECT_FALSE(world.simulator.hasTemplate("later"));

    test::writeFile("unnamed.xml", "<bodies><body><mass>1</mass></body></bodies>");
    try
    {
        world.simulator.loadTemplates("unnamed.xml");
        ADD_FAILURE() << "nameless body accepted";
    }
    catch (const Ogre::ItemIdentityException& e)
    {
        EXPECT_EQ(e.getDescription(), "Missing name in a body template in file unnamed.xml");
    }
    EXPECT_THROW(world.simulator.loadTemplates("one.xml"), Ogre::ItemIdentityException);
    test::writeFile("broken.xml", "<bodies><body></bodies>");
    EXPECT_THROW(world.simulator.loadTemplates("broken.xml"), Ogre::FileNotFoundException);

    // A clone loads no templates of its own.
    std::unique_ptr<brix::Simulator> clone(world.simulator.clone());
    test::writeFile("extra.xml", "<body><name>extra</name><mass>1</mass></body>");
    clone->loadTemplates("extra.xml");
    EXPECT_FALSE(clone->hasTemplate("extra"));
    EXPECT_FALSE(world.simulator.hasTemplate("extra"));
}

TEST(BodyTemplate, GameDataFilesLoadAndBuild)
{
    test::PhysicsWorld world;
    world.simulator.loadMaterials("data/materials.xml");
    world.simulator.loadTemplates("data/entitybodies.xml");
    world.floor();
    std::vector<brix::Body*> bodies;
    for (const char* name : {"crate", "ball", "humanstanding", "humancrouching"})
    {
        ASSERT_TRUE(world.simulator.hasTemplate(name)) << name;
        bodies.push_back(world.deployBody(name, Ogre::Vector3(float(bodies.size()) * 3.0f, 2, 0)));
    }
    // The door hangs on the level's static body, as the game hangs it, and stays shut under
    // gravity.
    world.boxTemplate("frame", Ogre::Vector3(1, 0.2f, 1), 0.0f);
    brix::Body* frame = world.deployBody("frame", Ogre::Vector3(20, 4, 0));
    brix::Body* door = world.deployBody("door", Ogre::Vector3(20, 2, 0));
    frame->addChild(door);
    brix::MovableVelocityController opener(10000.0f, 2000.0f);
    door->setController(&opener);
    world.ticks(100);
    EXPECT_NEAR(bodies[0]->getPosition().y, 0.5f, 0.01f);
    EXPECT_NEAR(bodies[1]->getPosition().y, 0.25f, 0.01f);
    // Both human bodies reach down to the same foot point.
    EXPECT_NEAR(bodies[2]->getPosition().y, 0.5f, 0.01f);
    EXPECT_NEAR(bodies[3]->getPosition().y, 0.5f, 0.01f);
    EXPECT_EQ(bodies[2]->getOrientation(), Ogre::Quaternion::IDENTITY);
    EXPECT_LT(door->getPosition().distance(Ogre::Vector3(20, 2, 0)), 0.01f);
    // Driven back in depth it stops 2.4 away; driven forward again it stops where it began.
    opener.setTarget(Ogre::Vector3(0, 0, 2));
    world.ticks(100);
    EXPECT_LT(door->getPosition().distance(Ogre::Vector3(20, 2, 2.4f)), 0.02f);
    opener.setTarget(Ogre::Vector3(0, 0, -2));
    world.ticks(100);
    EXPECT_LT(door->getPosition().distance(Ogre::Vector3(20, 2, 0)), 0.02f);
}

TEST(OgreTransform, BuildsRotationsFromAnglesAndDirections)
{
    const Ogre::Quaternion turn = brix::OgreTransform::makeRotation(Ogre::Vector3(0, 90, 0));
    EXPECT_LT((turn * Ogre::Vector3::UNIT_X).distance(-Ogre::Vector3::UNIT_Z), 1e-5f);
    const Ogre::Quaternion up = brix::OgreTransform::makeRotationToX(Ogre::Vector3::UNIT_Y);
    EXPECT_LT((up * Ogre::Vector3::UNIT_X).distance(Ogre::Vector3::UNIT_Y), 1e-5f);
    const Ogre::Quaternion side =
        brix::OgreTransform::makeRotationToX(Ogre::Vector3(1, 1, 0).normalisedCopy());
    EXPECT_LT((side * Ogre::Vector3::UNIT_X).distance(Ogre::Vector3(1, 1, 0).normalisedCopy()), 1e-5f);
    const Ogre::Matrix4 matrix = brix::OgreTransform::makeTransformation(Ogre::Vector3(1, 2, 3), up);
    EXPECT_LT((matrix * Ogre::Vector3::UNIT_X).distance(Ogre::Vector3(1, 3, 3)), 1e-5f);
}
