#include "engine/core/bodytemplate.h"
#include "engine/core/ogretransform.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace brix
{
namespace
{
// Numbers in the body files read as OGRE reads them; a missing element gives the default and
// an unreadable one 0 (the zero vector for vectors).
float readReal(const XMLElement* element, const char* name, const char* defaultValue)
{
    return Ogre::StringConverter::parseReal(element->getValue(name, defaultValue), 0.0f);
}

Ogre::Vector3 readVector(const XMLElement* element, const char* name)
{
    return Ogre::StringConverter::parseVector3(element->getValue(name, ""), Ogre::Vector3::ZERO);
}

struct TJointKind
{
    const char* name;
    unsigned type;
    unsigned axes;
    bool anchor;
};

const TJointKind JOINT_KINDS[] = {{"hinge", BodyTemplate::JOINT_HINGE, 1, true},
                                  {"slider", BodyTemplate::JOINT_SLIDER, 1, false},
                                  {"universal", BodyTemplate::JOINT_UNIVERSAL, 2, true},
                                  {"fixed", BodyTemplate::JOINT_FIXED, 0, false},
                                  {"limit", BodyTemplate::JOINT_LIMIT, 2, false}};
} // namespace

BodyTemplate::BodyTemplate(std::string name) : mName(std::move(name)) {}

BodyTemplate::~BodyTemplate()
{
    destroyChildren();
}

BodyTemplate* BodyTemplate::createChild(const std::string& name)
{
    mChildren.push_back(new BodyTemplate(name));
    return mChildren.back();
}

BodyTemplate* BodyTemplate::getChild(const std::string& name, bool recursive) const
{
    for (BodyTemplate* child : mChildren)
        if (child->mName == name)
            return child;
    if (recursive)
        for (BodyTemplate* child : mChildren)
            if (BodyTemplate* found = child->getChild(name, true))
                return found;
    return nullptr;
}

void BodyTemplate::destroyChildren()
{
    for (BodyTemplate* child : mChildren)
        delete child;
    mChildren.clear();
}

void BodyTemplate::clear()
{
    mPosition = Ogre::Vector3::ZERO;
    mOrientation = Ogre::Quaternion::IDENTITY;
    mAutoSleep = true;
    resetJoint();
    mMass = 1.0f;
    mLinearDamping = 0.1f;
    mAngularDamping = 0.1f;
    mGravityFactor = 1.0f;
    mMaterial.clear();
    removeShapes();
    removeSersors();
    destroyChildren();
}

void BodyTemplate::calculateBoundingRadius()
{
    float radius = 0.0f;
    for (const TShape& shape : mShapes)
    {
        float shapeRadius = 0.0f;
        switch (shape.type)
        {
        case SHAPE_BOX:
        case SHAPE_CYLINDER:
            shapeRadius = Ogre::Vector3(std::fabs(shape.position.x) + shape.size.x * 0.5f,
                                        std::fabs(shape.position.y) + shape.size.y * 0.5f,
                                        std::fabs(shape.position.z) + shape.size.z * 0.5f)
                              .length();
            break;
        case SHAPE_SPHERE:
            shapeRadius = std::fabs(shape.position.z) + shape.size.z * 0.5f;
            break;
        case SHAPE_MESH:
        case SHAPE_HULL:
        {
            float largest = 0.0f;
            for (const Ogre::Vector3& point : shape.points)
                largest = std::max(largest, (shape.position + shape.orientation * point).squaredLength());
            shapeRadius = std::sqrt(largest);
            break;
        }
        default:
            Log::error("Bounding radius not supported for shape type %d", static_cast<int>(shape.type));
            break;
        }
        radius = std::max(radius, shapeRadius);
    }
    mBoundingRadius = radius;
}

void BodyTemplate::load(const XMLElement* element)
{
    mName = element->getValue("name", "unknown");
    mPosition = readVector(element, "offset");
    mOrientation = OgreTransform::makeRotation(readVector(element, "rotate"));
    for (const XMLElement* shape = element->getChild("shape"); shape;
         shape = element->getNextChild(shape, "shape"))
        loadShape(shape);
    calculateBoundingRadius();
    for (const XMLElement* sensor = element->getChild("sensor"); sensor;
         sensor = element->getNextChild(sensor, "sensor"))
        loadSensor(sensor);
    mMaterial = element->getValue("material", "");

    mLinearDamping = readReal(element, "lineardamping", "0.1");
    mAngularDamping = readReal(element, "angulardamping", "0.1");
    if (!(mLinearDamping > 0.0f && mLinearDamping <= 1.0f && mAngularDamping > 0.0f &&
          mAngularDamping <= 1.0f))
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Bad damping factor for body '" + mName + "'",
                    "BodyTemplate::load");
    mGravityFactor = readReal(element, "gravityfactor", "1.0");
    mAutoSleep = element->getValueAsBoolean("autosleep", true);
    mContinuousCollision = element->getValueAsBoolean("continuouscollision", false);
    mMass = readReal(element, "mass", "0");
    if (!(mMass > 0.0f) || !std::isfinite(mMass))
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Bad or missing mass for body '" + mName + "'",
                    "BodyTemplate::load");

    if (const XMLElement* joint = element->getChild("joint"))
        loadJoint(joint);
    for (const XMLElement* child = element->getChild("body"); child;
         child = element->getNextChild(child, "body"))
        createChild(child->getValue("name", "unknown"))->load(child);
    Log::info("Simulator body template '%s' loaded", mName.c_str());
}

void BodyTemplate::loadShape(const XMLElement* element)
{
    static const char* const TYPES[] = {"box", "sphere", "cylinder", "mesh", "hull"};
    const std::string type = element->getValue("type", "");
    TShape shape;
    const char* const* found = std::find(std::begin(TYPES), std::end(TYPES), type);
    if (found == std::end(TYPES))
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED,
                    "Unsupported shape type in body '" + mName + "' ('" + type + "')",
                    "BodyTemplate::loadShape");
    shape.type = static_cast<unsigned>(found - std::begin(TYPES));
    shape.position = readVector(element, "offset");
    shape.orientation = OgreTransform::makeRotation(readVector(element, "rotate"));

    if (shape.type == SHAPE_MESH || shape.type == SHAPE_HULL)
    {
        const std::string file = element->getValue("data", "");
        if (file.empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Mesh shape with no data (filename) in body '" + mName + "'",
                        "BodyTemplate::loadShape");
        const std::string path = "data/" + file;
        if (!loadMeshShapeDataFromFile(path, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, shape.points))
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Mesh shape data loading from file '" + path + "' in body '" + mName + "' failed",
                        "BodyTemplate::loadShape");
        if (shape.type == SHAPE_HULL)
            removeDuplicatePointsFromData(shape.points);
    }
    else
    {
        shape.size = readVector(element, "data");
        // Negative or endless extents would make shapes the physics library cannot collide.
        bool usable = shape.size != Ogre::Vector3::ZERO;
        for (int axis = 0; axis < 3; ++axis)
            usable = usable && shape.size[axis] >= 0.0f && std::isfinite(shape.size[axis]);
        if (!usable)
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Geometric shape with bad or missing size data in body '" + mName,
                        "BodyTemplate::loadShape");
    }
    addShape(shape);
}

void BodyTemplate::loadSensor(const XMLElement* element)
{
    const std::string type = element->getValue("type", "");
    TSensor sensor;
    if (type == "ray")
        sensor.type = SENSOR_RAY;
    else if (type == "crush")
        sensor.type = SENSOR_CRUSH;
    else
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED,
                    "Unsupported sensor type in body '" + mName + "' ('" + type + "')",
                    "BodyTemplate::loadSensor");
    sensor.name = element->getValue("name", "");
    sensor.origin = readVector(element, "origin");
    sensor.target = readVector(element, "target");
    addSensor(sensor);
}

void BodyTemplate::loadJoint(const XMLElement* element)
{
    const std::string type = element->getValue("type", "");
    const TJointKind* kind = nullptr;
    for (const TJointKind& candidate : JOINT_KINDS)
        if (type == candidate.name)
            kind = &candidate;
    const std::string which = "' ('" + type + "')";
    if (!kind)
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED, "Unsupported joint type in body '" + mName + which,
                    "BodyTemplate::loadJoint");

    TJoint joint;
    joint.type = kind->type;
    if (kind->anchor)
    {
        const XMLElement* anchor = element->getChild("anchor");
        if (!anchor || anchor->getValue().empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "Missing anchor for " + type + " joint in body '" + mName + which,
                        "BodyTemplate::loadJoint");
        joint.anchor = Ogre::StringConverter::parseVector3(anchor->getValue(), Ogre::Vector3::ZERO);
    }

    unsigned count = 0;
    for (const XMLElement* axis = element->getChild("axis"); axis && count < kind->axes;
         axis = element->getNextChild(axis, "axis"), ++count)
    {
        TAxis& target = joint.axes[count];
        target.direction = readVector(axis, "direction");
        if (kind->type != JOINT_LIMIT)
        {
            if (target.direction.isZeroLength())
                OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                            "Bad axis direction in body '" + mName + which, "BodyTemplate::loadJoint");
            target.direction.normalise();
        }
        const std::string low = axis->getValue("low", "");
        const std::string high = axis->getValue("high", "");
        if (!low.empty() && !high.empty())
        {
            target.low = Ogre::StringConverter::parseReal(low, 0.0f);
            target.high = Ogre::StringConverter::parseReal(high, 0.0f);
        }
    }
    if (count < kind->axes)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Not enough axes for " + type + " joint in body '" + mName + which,
                    "BodyTemplate::loadJoint");
    setJoint(joint);
}

bool BodyTemplate::loadMeshShapeDataFromFile(const std::string& path, const Ogre::Vector3& translation,
                                             const Ogre::Quaternion& rotation,
                                             std::vector<Ogre::Vector3>& points)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        Log::error("Collision mesh file '%s' opening failed", path.c_str());
        return false;
    }
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    // An empty file holds no triangle at all, and the physics library cannot build a mesh of none.
    if (size <= 0 || size % MESH_TRIANGLE_SIZE != 0 || size > 0x7FFFFFFF)
    {
        Log::error("Collision mesh file '%s' size %d invalid", path.c_str(), static_cast<int>(size));
        return false;
    }

    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
    {
        Log::error("Collision mesh file '%s' reading failed", path.c_str());
        return false;
    }

    size_t count = bytes.size() / MESH_POINT_SIZE;
    size_t first = points.size();
    points.resize(first + count);
    for (size_t i = 0; i < count; ++i)
    {
        float xyz[3];
        for (int axis = 0; axis < 3; ++axis)
        {
            const unsigned char* b = &bytes[i * MESH_POINT_SIZE + axis * 4];
            uint32_t word =
                uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
            std::memcpy(&xyz[axis], &word, sizeof(float));
            // Not-a-number or infinite corners would poison the collision tree built from them.
            if (!std::isfinite(xyz[axis]))
            {
                points.resize(first);
                Log::error("Collision mesh file '%s' reading failed", path.c_str());
                return false;
            }
        }
        points[first + i] = rotation * Ogre::Vector3(xyz[0], xyz[1], xyz[2]) + translation;
    }
    return true;
}

void BodyTemplate::removeDuplicatePointsFromData(std::vector<Ogre::Vector3>& points)
{
    std::vector<Ogre::Vector3> kept;
    kept.reserve(points.size());
    for (const Ogre::Vector3& point : points)
    {
        bool seen = false;
        for (const Ogre::Vector3& other : kept)
            if (other.x == point.x && other.y == point.y && other.z == point.z)
            {
                seen = true;
                break;
            }
        if (!seen)
            kept.push_back(point);
    }
    points.swap(kept);
}
} // namespace brix
