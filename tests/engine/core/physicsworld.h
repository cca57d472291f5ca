#pragma once
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "support/logcapture.h"

#include <OgreException.h>

#include <functional>
#include <string>

namespace test
{
// A simulator as the game sets it up (0.0125 s steps, gravity 9.8 down y), with bodies built
// from templates made in code.
struct PhysicsWorld
{
    static constexpr float STEP = 0.0125f;
    static constexpr float TICK = 0.025f;

    brix::Simulator simulator{false, STEP};

    PhysicsWorld() { simulator.setGravity(Ogre::Vector3(0.0f, -9.8f, 0.0f)); }

    // A template of one shape at the body origin.
    brix::BodyTemplate* shapeTemplate(const std::string& name, unsigned type, const Ogre::Vector3& size,
                                      float mass)
    {
        brix::BodyTemplate* bodyTemplate = simulator.createTemplate(name);
        brix::BodyTemplate::TShape shape;
        shape.type = type;
        shape.size = size;
        bodyTemplate->addShape(shape);
        bodyTemplate->setMass(mass);
        return bodyTemplate;
    }

    brix::BodyTemplate* boxTemplate(const std::string& name, const Ogre::Vector3& size, float mass)
    {
        return shapeTemplate(name, brix::BodyTemplate::SHAPE_BOX, size, mass);
    }

    brix::Body* deployBody(const std::string& templateName, const Ogre::Vector3& position)
    {
        brix::Body* body = simulator.createBody(templateName);
        body->deploy(position, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
        return body;
    }

    // A static slab 40 wide and 1 thick whose top face is y = 0.
    brix::Body* floor()
    {
        if (!simulator.hasTemplate("floor"))
            boxTemplate("floor", Ogre::Vector3(40.0f, 1.0f, 40.0f), 0.0f);
        return deployBody("floor", Ogre::Vector3(0.0f, -0.5f, 0.0f));
    }

    // Runs whole game ticks: two steps, then the flush, as the entity manager does.
    void ticks(int count, bool flush = true)
    {
        for (int i = 0; i < count; ++i)
        {
            simulator.update(TICK, false);
            if (flush)
                simulator.flush();
        }
    }
};

// The description of the OGRE exception the action throws, or "" when it throws none.
inline std::string exceptionText(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const Ogre::Exception& e)
    {
        return e.getDescription();
    }
    return "";
}
} // namespace test
