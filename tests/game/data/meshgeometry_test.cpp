// The generated meshes as the renderer and the level see them: faces wound the way their
// normals point, skinned meshes bound whole to their skeletons, blocks on the editor's grid.
#include "support/ogre/assetgroup.h"
#include "support/ogre/headlessogre.h"
#include "support/tempdir.h"

#include "toolkit/xmlelement.h"

#include <OgreHardwareBufferManager.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSkeleton.h>
#include <OgreStringConverter.h>
#include <OgreSubMesh.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
struct TTriangle
{
    Ogre::Vector3 positions[3];
    Ogre::Vector3 normals[3];
};

std::vector<TTriangle> readTriangles(const Ogre::SubMesh& submesh)
{
    const Ogre::VertexData* vertices = submesh.vertexData;
    const Ogre::VertexElement* position =
        vertices->vertexDeclaration->findElementBySemantic(Ogre::VES_POSITION);
    const Ogre::VertexElement* normal = vertices->vertexDeclaration->findElementBySemantic(Ogre::VES_NORMAL);
    std::vector<Ogre::Vector3> positions(vertices->vertexCount), normals(vertices->vertexCount);
    for (auto [element, target] : {std::pair(position, &positions), std::pair(normal, &normals)})
    {
        Ogre::HardwareVertexBufferSharedPtr buffer =
            vertices->vertexBufferBinding->getBuffer(element->getSource());
        const char* data = static_cast<const char*>(buffer->lock(Ogre::HardwareBuffer::HBL_READ_ONLY));
        for (size_t i = 0; i < vertices->vertexCount; ++i)
            std::memcpy((*target)[i].ptr(), data + i * buffer->getVertexSize() + element->getOffset(), 12);
        buffer->unlock();
    }
    const Ogre::IndexData* indices = submesh.indexData;
    const char* data =
        static_cast<const char*>(indices->indexBuffer->lock(Ogre::HardwareBuffer::HBL_READ_ONLY));
    bool wide = indices->indexBuffer->getType() == Ogre::HardwareIndexBuffer::IT_32BIT;
    std::vector<TTriangle> triangles(indices->indexCount / 3);
    for (size_t i = 0; i < triangles.size() * 3; ++i)
    {
        uint32_t index = 0;
        std::memcpy(&index, data + (indices->indexStart + i) * (wide ? 4 : 2), wide ? 4 : 2);
        triangles[i / 3].positions[i % 3] = positions.at(index);
        triangles[i / 3].normals[i % 3] = normals.at(index);
    }
    indices->indexBuffer->unlock();
    return triangles;
}

class MeshGeometry : public testing::Test
{
protected:
    Ogre::MeshPtr load(const std::string& name)
    {
        return Ogre::MeshManager::getSingleton().load(name, test::AssetGroup::NAME);
    }

    test::HeadlessOgre mOgre;
    test::AssetGroup mAssets;
};
} // namespace

TEST_F(MeshGeometry, FacesAreWoundTheWayTheirNormalsPoint)
{
    for (const std::string& name : test::AssetGroup::listData(".mesh"))
    {
        Ogre::MeshPtr mesh = load(name);
        size_t wrong = 0, total = 0;
        for (const Ogre::SubMesh* submesh : mesh->getSubMeshes())
            for (const TTriangle& triangle : readTriangles(*submesh))
            {
                Ogre::Vector3 winding = (triangle.positions[1] - triangle.positions[0])
                                            .crossProduct(triangle.positions[2] - triangle.positions[0]);
                if (winding.squaredLength() < 1e-12f)
                    continue;
                ++total;
                if (winding.dotProduct(triangle.normals[0] + triangle.normals[1] + triangle.normals[2]) <= 0)
                    ++wrong;
            }
        EXPECT_GT(total, 0u) << name;
        EXPECT_EQ(wrong, 0u) << name << ": " << wrong << " of " << total
                             << " faces turn away from their normals";
    }
}

TEST_F(MeshGeometry, SkinnedMeshesBindEveryVertexToOneBone)
{
    for (const char* name : {"human.mesh", "drone.mesh", "crawler.mesh", "sentrygun.mesh"})
    {
        Ogre::MeshPtr mesh = load(name);
        ASSERT_TRUE(mesh->hasSkeleton()) << name;
        for (const Ogre::SubMesh* submesh : mesh->getSubMeshes())
        {
            std::vector<int> bound(submesh->vertexData->vertexCount, 0);
            for (const auto& [vertex, assignment] : submesh->getBoneAssignments())
            {
                ASSERT_LT(vertex, bound.size()) << name;
                EXPECT_LT(assignment.boneIndex, mesh->getSkeleton()->getNumBones()) << name;
                EXPECT_EQ(assignment.weight, 1.0f) << name;
                ++bound[vertex];
            }
            EXPECT_EQ(std::count(bound.begin(), bound.end(), 1), long(bound.size())) << name;
        }
    }
}

TEST(BlockGeometry, SolidsSnapTheirFacesToWholeGridLines)
{
    brix::XMLElement blocks("");
    ASSERT_GE(blocks.load(test::sourcePath("blocks.xml")), 0);
    int checked = 0;
    for (const brix::XMLElement* block = blocks.getChild("block"); block;
         block = blocks.getNextChild(block, "block"))
    {
        std::string name = block->getValue("name", "");
        Ogre::Vector3 offset = Ogre::StringConverter::parseVector3(block->getValue("gridsnapoffset", ""));
        // The solid part of a block is what it collides with, trim and rails aside.
        std::string points = test::readFile(test::sourcePath("data/" + name + ".collision"));
        if (points.empty())
            continue;
        Ogre::AxisAlignedBox bounds;
        for (size_t i = 0; i + 12 <= points.size(); i += 12)
        {
            Ogre::Vector3 point;
            std::memcpy(point.ptr(), &points[i], 12);
            bounds.merge(point);
        }
        EXPECT_NEAR(bounds.getCenter().x, 0.0f, 1e-4f) << name;
        for (int axis = 0; axis < 2; ++axis)
        {
            if (bounds.getSize()[axis] < 1.0f)
                continue;
            for (float face : {bounds.getMinimum()[axis], bounds.getMaximum()[axis]})
            {
                float snapped = face + offset[axis];
                EXPECT_NEAR(snapped, std::round(snapped), 1e-4f) << name << " axis " << axis;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 10);
}
