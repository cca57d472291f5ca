#include "meshbuilder.h"

#include <OgreHardwareBufferManager.h>
#include <OgreMaterialManager.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreMeshSerializer.h>
#include <OgreSubMesh.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace assetgen
{
namespace
{
Ogre::Vector3 transformDirection(const Ogre::Matrix4& transform, const Ogre::Vector3& direction)
{
    Ogre::Matrix3 linear = transform.linear();
    Ogre::Vector3 result = linear.Inverse().Transpose() * direction;
    return result.normalisedCopy();
}
} // namespace

Ogre::Matrix4 MeshBuilder::makeTransform(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                                         const Ogre::Vector3& scale)
{
    Ogre::Matrix4 transform;
    transform.makeTransform(position, scale, orientation);
    return transform;
}

void MeshBuilder::addSmoothTriangle(const TVertex& a, const TVertex& b, const TVertex& c,
                                    const Ogre::Matrix4& transform)
{
    TTriangle triangle;
    const TVertex* source[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i)
    {
        triangle.vertices[i].position = transform * source[i]->position;
        triangle.vertices[i].normal = transformDirection(transform, source[i]->normal);
        triangle.vertices[i].uv = mUV;
    }
    // A mirroring transform turns the winding inside out: put it back.
    if (transform.linear().Determinant() < 0)
        std::swap(triangle.vertices[1], triangle.vertices[2]);
    triangle.material = mMaterial;
    triangle.bone = mBone;
    mTriangles.push_back(triangle);
}

void MeshBuilder::addTriangle(const Ogre::Vector3& a, const Ogre::Vector3& b, const Ogre::Vector3& c,
                              const Ogre::Matrix4& transform)
{
    Ogre::Vector3 normal = (b - a).crossProduct(c - a).normalisedCopy();
    addSmoothTriangle({a, normal, mUV}, {b, normal, mUV}, {c, normal, mUV}, transform);
}

void MeshBuilder::addFace(const std::vector<Ogre::Vector3>& points, const Ogre::Vector3& centre,
                          const Ogre::Matrix4& transform)
{
    if (points.size() < 3)
        return;
    Ogre::Vector3 faceCentre = Ogre::Vector3::ZERO;
    for (const Ogre::Vector3& point : points)
        faceCentre += point;
    faceCentre /= float(points.size());
    Ogre::Vector3 normal = Ogre::Vector3::ZERO;
    for (size_t i = 0; i < points.size(); ++i)
        normal += (points[i] - faceCentre).crossProduct(points[(i + 1) % points.size()] - faceCentre);
    bool reversed = normal.dotProduct(faceCentre - centre) < 0;
    for (size_t i = 1; i + 1 < points.size(); ++i)
    {
        if (reversed)
            addTriangle(points[0], points[i + 1], points[i], transform);
        else
            addTriangle(points[0], points[i], points[i + 1], transform);
    }
}

void MeshBuilder::addBox(const Ogre::Vector3& size, float bevel, const Ogre::Matrix4& transform)
{
    Ogre::Vector3 half = size * 0.5f;
    float b = std::min(bevel, std::min(half.x, std::min(half.y, half.z)) * 0.9f);
    Ogre::Vector3 inner = half - Ogre::Vector3(b);
    // The point where the face of the given axis meets the corner of the given signs.
    auto corner = [&](int axis, const Ogre::Vector3& sign)
    {
        Ogre::Vector3 point = inner * sign;
        point[axis] = half[axis] * sign[axis];
        return point;
    };
    for (int axis = 0; axis < 3; ++axis)
        for (float s : {-1.0f, 1.0f})
        {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            std::vector<Ogre::Vector3> face;
            for (auto [su, sv] : {std::pair(-1.f, -1.f), {1.f, -1.f}, {1.f, 1.f}, {-1.f, 1.f}})
            {
                Ogre::Vector3 sign;
                sign[axis] = s;
                sign[u] = su;
                sign[v] = sv;
                face.push_back(corner(axis, sign));
            }
            addFace(face, Ogre::Vector3::ZERO, transform);
        }
    if (b <= 0)
        return;
    for (int along = 0; along < 3; ++along)
    {
        int a0 = (along + 1) % 3, a1 = (along + 2) % 3;
        for (float s0 : {-1.0f, 1.0f})
            for (float s1 : {-1.0f, 1.0f})
            {
                std::vector<Ogre::Vector3> strip;
                for (float end : {-1.0f, 1.0f})
                {
                    Ogre::Vector3 sign;
                    sign[along] = end;
                    sign[a0] = s0;
                    sign[a1] = s1;
                    strip.push_back(corner(a0, sign));
                    strip.push_back(corner(a1, sign));
                }
                std::swap(strip[2], strip[3]);
                addFace(strip, Ogre::Vector3::ZERO, transform);
            }
    }
    for (float sx : {-1.0f, 1.0f})
        for (float sy : {-1.0f, 1.0f})
            for (float sz : {-1.0f, 1.0f})
            {
                Ogre::Vector3 sign(sx, sy, sz);
                addFace({corner(0, sign), corner(1, sign), corner(2, sign)}, Ogre::Vector3::ZERO, transform);
            }
}

void MeshBuilder::addCone(float radius0, float radius1, float height, unsigned segments,
                          const Ogre::Matrix4& transform)
{
    float y0 = -height * 0.5f, y1 = height * 0.5f;
    float slope = (radius0 - radius1) / height;
    std::vector<Ogre::Vector3> bottom, top;
    for (unsigned i = 0; i < segments; ++i)
    {
        float a0 = Ogre::Math::TWO_PI * i / segments, a1 = Ogre::Math::TWO_PI * (i + 1) / segments;
        Ogre::Vector3 d0(std::cos(a0), 0, -std::sin(a0)), d1(std::cos(a1), 0, -std::sin(a1));
        Ogre::Vector3 n0 = (d0 + Ogre::Vector3(0, slope, 0)).normalisedCopy();
        Ogre::Vector3 n1 = (d1 + Ogre::Vector3(0, slope, 0)).normalisedCopy();
        TVertex p0{d0 * radius0 + Ogre::Vector3(0, y0, 0), n0, mUV};
        TVertex p1{d1 * radius0 + Ogre::Vector3(0, y0, 0), n1, mUV};
        TVertex q0{d0 * radius1 + Ogre::Vector3(0, y1, 0), n0, mUV};
        TVertex q1{d1 * radius1 + Ogre::Vector3(0, y1, 0), n1, mUV};
        // Seen from outside, going round counter-clockwise about +y means decreasing angle here.
        if (radius0 > 0)
            addSmoothTriangle(p0, p1, radius1 > 0 ? q1 : q0, transform);
        if (radius1 > 0)
            addSmoothTriangle(p0, q1, q0, transform);
        bottom.push_back(p0.position);
        top.push_back(q0.position);
    }
    if (radius0 > 0)
        addFace(bottom, Ogre::Vector3::ZERO, transform);
    if (radius1 > 0)
        addFace(top, Ogre::Vector3::ZERO, transform);
}

void MeshBuilder::addCylinder(float radius, float height, unsigned segments, const Ogre::Matrix4& transform)
{
    addCone(radius, radius, height, segments, transform);
}

void MeshBuilder::addPrism(const std::vector<Ogre::Vector2>& outline, float depth,
                           const Ogre::Matrix4& transform)
{
    Ogre::Vector3 centre = Ogre::Vector3::ZERO;
    for (const Ogre::Vector2& point : outline)
        centre += Ogre::Vector3(point.x, point.y, 0);
    centre /= float(outline.size());
    std::vector<Ogre::Vector3> front, back;
    for (const Ogre::Vector2& point : outline)
    {
        front.emplace_back(point.x, point.y, depth * 0.5f);
        back.emplace_back(point.x, point.y, -depth * 0.5f);
    }
    addFace(front, centre, transform);
    addFace(back, centre, transform);
    for (size_t i = 0; i < outline.size(); ++i)
    {
        size_t j = (i + 1) % outline.size();
        addFace({front[i], front[j], back[j], back[i]}, centre, transform);
    }
}

void MeshBuilder::addSphere(float radius, unsigned rings, unsigned segments, const Ogre::Matrix4& transform)
{
    auto point = [&](unsigned ring, unsigned segment)
    {
        float polar = Ogre::Math::PI * ring / rings;
        float azimuth = Ogre::Math::TWO_PI * segment / segments;
        Ogre::Vector3 normal(std::sin(polar) * std::cos(azimuth), std::cos(polar),
                             -std::sin(polar) * std::sin(azimuth));
        return TVertex{normal * radius, normal, mUV};
    };
    for (unsigned r = 0; r < rings; ++r)
        for (unsigned s = 0; s < segments; ++s)
        {
            TVertex a = point(r, s), b = point(r + 1, s), c = point(r + 1, s + 1), d = point(r, s + 1);
            if (r + 1 < rings)
                addSmoothTriangle(a, b, c, transform);
            if (r > 0)
                addSmoothTriangle(a, c, d, transform);
        }
}

void MeshBuilder::addQuad(const Ogre::Vector2& size, const Ogre::Matrix4& transform)
{
    Ogre::Vector3 a(-size.x * 0.5f, -size.y * 0.5f, 0), b(size.x * 0.5f, -size.y * 0.5f, 0);
    Ogre::Vector3 c(size.x * 0.5f, size.y * 0.5f, 0), d(-size.x * 0.5f, size.y * 0.5f, 0);
    addTriangle(a, b, c, transform);
    addTriangle(a, c, d, transform);
    addTriangle(a, c, b, transform);
    addTriangle(a, d, c, transform);
}

Ogre::Vector3 MeshBuilder::getMinimum() const
{
    Ogre::Vector3 minimum(Ogre::Math::POS_INFINITY);
    for (const TTriangle& triangle : mTriangles)
        for (const TVertex& vertex : triangle.vertices)
            minimum.makeFloor(vertex.position);
    return mTriangles.empty() ? Ogre::Vector3::ZERO : minimum;
}

Ogre::Vector3 MeshBuilder::getMaximum() const
{
    Ogre::Vector3 maximum(Ogre::Math::NEG_INFINITY);
    for (const TTriangle& triangle : mTriangles)
        for (const TVertex& vertex : triangle.vertices)
            maximum.makeCeil(vertex.position);
    return mTriangles.empty() ? Ogre::Vector3::ZERO : maximum;
}

bool MeshBuilder::writeMesh(const std::string& path, const std::string& skeletonName) const
{
    if (mTriangles.empty())
        return false;
    static unsigned serial = 0;
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().createManual(
        "assetgen" + std::to_string(serial++), Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME);

    std::vector<std::string> materials;
    for (const TTriangle& triangle : mTriangles)
        if (std::find(materials.begin(), materials.end(), triangle.material) == materials.end())
            materials.push_back(triangle.material);

    Ogre::HardwareBufferManager& buffers = Ogre::HardwareBufferManager::getSingleton();
    for (const std::string& material : materials)
    {
        // Vertices that agree in every field are shared, so smooth surfaces stay indexed.
        std::vector<float> vertexData;
        std::vector<unsigned> bones;
        std::vector<uint32_t> indices;
        std::map<std::vector<float>, uint32_t> known;
        for (const TTriangle& triangle : mTriangles)
        {
            if (triangle.material != material)
                continue;
            for (const TVertex& vertex : triangle.vertices)
            {
                std::vector<float> key = {vertex.position.x, vertex.position.y, vertex.position.z,
                                          vertex.normal.x,   vertex.normal.y,   vertex.normal.z,
                                          vertex.uv.x,       vertex.uv.y,       float(triangle.bone)};
                auto found = known.find(key);
                if (found == known.end())
                {
                    found = known.emplace(key, uint32_t(bones.size())).first;
                    vertexData.insert(vertexData.end(), key.begin(), key.begin() + 8);
                    bones.push_back(triangle.bone);
                }
                indices.push_back(found->second);
            }
        }
        // A submesh keeps its material by reference, so the name needs a material to stand for
        // it here; the scripts define the real ones.
        Ogre::MaterialManager& materialManager = Ogre::MaterialManager::getSingleton();
        if (!materialManager.resourceExists(material, mesh->getGroup()))
            materialManager.create(material, mesh->getGroup());
        Ogre::SubMesh* submesh = mesh->createSubMesh();
        submesh->setMaterialName(material);
        submesh->useSharedVertices = false;
        submesh->vertexData = new Ogre::VertexData();
        submesh->vertexData->vertexCount = bones.size();
        // Positions and normals get a buffer of their own, apart from the texture coordinates,
        // as skinning replaces that buffer with its blended copy.
        Ogre::VertexDeclaration* declaration = submesh->vertexData->vertexDeclaration;
        declaration->addElement(0, 0, Ogre::VET_FLOAT3, Ogre::VES_POSITION);
        declaration->addElement(0, 12, Ogre::VET_FLOAT3, Ogre::VES_NORMAL);
        declaration->addElement(1, 0, Ogre::VET_FLOAT2, Ogre::VES_TEXTURE_COORDINATES, 0);
        std::vector<float> geometry, coordinates;
        for (size_t i = 0; i < bones.size(); ++i)
        {
            geometry.insert(geometry.end(), &vertexData[i * 8], &vertexData[i * 8 + 6]);
            coordinates.insert(coordinates.end(), &vertexData[i * 8 + 6], &vertexData[i * 8 + 8]);
        }
        const std::vector<float>* sources[2] = {&geometry, &coordinates};
        for (unsigned short source = 0; source < 2; ++source)
        {
            Ogre::HardwareVertexBufferSharedPtr buffer =
                buffers.createVertexBuffer(declaration->getVertexSize(source), bones.size(),
                                           Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY);
            buffer->writeData(0, buffer->getSizeInBytes(), sources[source]->data());
            submesh->vertexData->vertexBufferBinding->setBinding(source, buffer);
        }

        bool wide = bones.size() > 0xFFFF;
        Ogre::HardwareIndexBufferSharedPtr indexBuffer = buffers.createIndexBuffer(
            wide ? Ogre::HardwareIndexBuffer::IT_32BIT : Ogre::HardwareIndexBuffer::IT_16BIT, indices.size(),
            Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY);
        if (wide)
            indexBuffer->writeData(0, indexBuffer->getSizeInBytes(), indices.data());
        else
        {
            std::vector<uint16_t> narrow(indices.begin(), indices.end());
            indexBuffer->writeData(0, indexBuffer->getSizeInBytes(), narrow.data());
        }
        submesh->indexData->indexBuffer = indexBuffer;
        submesh->indexData->indexCount = indices.size();
        submesh->indexData->indexStart = 0;

        if (!skeletonName.empty())
            for (size_t i = 0; i < bones.size(); ++i)
                if (bones[i] != NO_BONE)
                    submesh->addBoneAssignment(
                        Ogre::VertexBoneAssignment{unsigned(i), uint16_t(bones[i]), 1.0f});
    }
    Ogre::Vector3 minimum = getMinimum(), maximum = getMaximum();
    mesh->_setBounds(Ogre::AxisAlignedBox(minimum, maximum));
    mesh->_setBoundingSphereRadius(std::max(minimum.length(), maximum.length()));
    if (!skeletonName.empty())
        mesh->setSkeletonName(skeletonName);
    mesh->load();

    Ogre::MeshSerializer serializer;
    serializer.exportMesh(mesh.get(), path);
    Ogre::MeshManager::getSingleton().remove(mesh);
    return true;
}

bool MeshBuilder::writePoints(const std::string& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    for (const TTriangle& triangle : mTriangles)
        for (const TVertex& vertex : triangle.vertices)
            for (int axis = 0; axis < 3; ++axis)
            {
                // The point files are little-endian, as is every machine we build on.
                float value = vertex.position[axis];
                char bytes[4];
                std::memcpy(bytes, &value, 4);
                file.write(bytes, 4);
            }
    return bool(file);
}
} // namespace assetgen
