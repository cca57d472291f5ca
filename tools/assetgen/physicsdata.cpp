#include "physicsdata.h"

#include "xmltext.h"

#include "toolkit/xmlelement.h"

namespace assetgen
{
namespace
{
struct TMaterial
{
    const char* name;
    // The simulator gives a body the material's elasticity as its friction and the material's
    // friction as its restitution, so "friction" here is how much a body bounces and
    // "elasticity" how well it grips.
    float friction;
    float elasticity;
};

const TMaterial MATERIALS[] = {
    {"level", 0.0f, 0.8f},  {"metal", 0.1f, 0.4f}, {"wood", 0.2f, 0.7f},
    {"rubber", 0.6f, 0.9f}, {"flesh", 0.0f, 0.2f}, {"energy", 0.0f, 0.1f},
};

using brix::XMLElement;

XMLElement* addBody(XMLElement* bodies, const std::string& name, const char* material, float mass)
{
    XMLElement* body = bodies->createChild("body");
    XMLText::add(body, "name", name);
    XMLText::add(body, "material", material);
    XMLText::add(body, "mass", XMLText::number(mass));
    return body;
}

void addShape(XMLElement* body, const char* type, const Ogre::Vector3& size,
              const Ogre::Vector3& offset = Ogre::Vector3::ZERO)
{
    XMLElement* shape = body->createChild("shape");
    XMLText::add(shape, "type", type);
    if (offset != Ogre::Vector3::ZERO)
        XMLText::add(shape, "offset", XMLText::vector(offset));
    XMLText::add(shape, "data", XMLText::vector(size));
}

// The crush sensor measures how hard the body is squeezed; the game reads it as sensor 0.
void addCrushSensor(XMLElement* body)
{
    XMLElement* sensor = body->createChild("sensor");
    XMLText::add(sensor, "name", "crush");
    XMLText::add(sensor, "type", "crush");
}

// Holds a body to the given translations and rotations (1 free, 0 held).
void addLimit(XMLElement* body, const Ogre::Vector3& linear, const Ogre::Vector3& angular)
{
    XMLElement* joint = body->createChild("joint");
    XMLText::add(joint, "type", "limit");
    XMLText::add(joint->createChild("axis"), "direction", XMLText::vector(linear));
    XMLText::add(joint->createChild("axis"), "direction", XMLText::vector(angular));
}

void addSlider(XMLElement* body, const Ogre::Vector3& direction, float low, float high)
{
    XMLElement* joint = body->createChild("joint");
    XMLText::add(joint, "type", "slider");
    XMLElement* axis = joint->createChild("axis");
    XMLText::add(axis, "direction", XMLText::vector(direction));
    XMLText::add(axis, "low", XMLText::number(low));
    XMLText::add(axis, "high", XMLText::number(high));
}

void add(XMLElement* body, const char* name, const char* value)
{
    XMLText::add(body, name, value);
}
} // namespace

bool PhysicsData::write(const std::string& dataFolder)
{
    XMLElement materials("materials");
    XMLText::addNotice(&materials);
    for (const TMaterial& material : MATERIALS)
    {
        XMLElement* entry = materials.createChild("material");
        XMLText::add(entry, "name", material.name);
        XMLText::add(entry, "friction", XMLText::number(material.friction));
        XMLText::add(entry, "elasticity", XMLText::number(material.elasticity));
    }

    XMLElement bodies("bodies");
    XMLText::addNotice(&bodies);
    const Ogre::Vector3 upright(0, 0, 0);

    // The human floats on its hover force with its origin 0.95 above the ground; standing it
    // reaches 0.7 below the origin, crouching 0.5, so a crouched human sits lower. Both keep
    // upright, and the crush sensor comes first: the human reads sensor 0.
    XMLElement* standing = addBody(&bodies, "humanstanding", "flesh", HUMAN_MASS);
    addShape(standing, "sphere", {0.6f, 1.55f, 0.6f}, {0, 0.075f, 0});
    addCrushSensor(standing);
    add(standing, "lineardamping", "0.01");
    add(standing, "angulardamping", "1");
    add(standing, "autosleep", "false");
    addLimit(standing, Ogre::Vector3::UNIT_SCALE, upright);
    XMLElement* crouching = addBody(&bodies, "humancrouching", "flesh", HUMAN_MASS);
    addShape(crouching, "sphere", {0.6f, 0.8f, 0.6f}, {0, -0.1f, 0});
    addCrushSensor(crouching);
    add(crouching, "lineardamping", "0.01");
    add(crouching, "angulardamping", "1");
    add(crouching, "autosleep", "false");
    addLimit(crouching, Ogre::Vector3::UNIT_SCALE, upright);

    // Props.
    XMLElement* crate = addBody(&bodies, "crate", "wood", 20);
    addShape(crate, "box", {1, 1, 1});
    add(crate, "continuouscollision", "true");
    XMLElement* barrel = addBody(&bodies, "barrel", "metal", 40);
    addShape(barrel, "cylinder", {0.7f, 1.0f, 0.7f});
    add(barrel, "continuouscollision", "true");

    // The door hangs on the level's body and slides 3 along +z, out of the play area.
    XMLElement* door = addBody(&bodies, "door", "metal", 100);
    addShape(door, "box", {0.4f, 3.0f, 3.0f});
    add(door, "autosleep", "false");
    addSlider(door, Ogre::Vector3::UNIT_Z, 0.0f, 3.0f);

    // The platform holds its own weight up; it moves in the play plane and never turns.
    XMLElement* platform = addBody(&bodies, "platform", "metal", 400);
    addShape(platform, "box", {3.0f, 0.3f, 3.0f});
    add(platform, "autosleep", "false");
    addLimit(platform, {1, 1, 0}, upright);

    // The shield is held by its controller, without weight.
    XMLElement* shield = addBody(&bodies, "shield", "energy", 20);
    addShape(shield, "box", {0.2f, 2.2f, 1.4f});
    add(shield, "gravityfactor", "0");
    add(shield, "autosleep", "false");
    addLimit(shield, {1, 1, 0}, upright);

    // Drone and crawler read their crush sensor as sensor 0.
    XMLElement* drone = addBody(&bodies, "drone", "metal", 15);
    addShape(drone, "sphere", {0.9f, 0.9f, 0.9f});
    addCrushSensor(drone);
    add(drone, "autosleep", "false");
    addLimit(drone, Ogre::Vector3::UNIT_SCALE, upright);
    XMLElement* crawler = addBody(&bodies, "crawler", "metal", 30);
    addShape(crawler, "sphere", {1.0f, 0.5f, 0.7f});
    addCrushSensor(crawler);
    add(crawler, "autosleep", "false");
    addLimit(crawler, Ogre::Vector3::UNIT_SCALE, upright);

    // The sentry gun is made static where it stands.
    XMLElement* sentry = addBody(&bodies, "sentrygun", "metal", 100);
    addShape(sentry, "box", {1.0f, 0.5f, 1.0f}, {0, -0.35f, 0});
    addShape(sentry, "box", {0.7f, 0.6f, 0.6f}, {0, 0.2f, 0});

    return materials.save(dataFolder + "/materials.xml", true) >= 0 &&
           bodies.save(dataFolder + "/entitybodies.xml", true) >= 0;
}
} // namespace assetgen
