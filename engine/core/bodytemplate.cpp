#include "engine/core/bodytemplate.h"
#include "toolkit/log.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace brix
{
BodyTemplate::BodyTemplate(std::string name) : mName(std::move(name))
{
}

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

bool BodyTemplate::loadMeshShapeDataFromFile(const std::string& path, const Ogre::Vector3& translation,
                                             const Ogre::Quaternion& rotation, std::vector<Ogre::Vector3>& points)
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
            uint32_t word = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
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
}
