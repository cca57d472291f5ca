#pragma once
#include <OgreMatrix4.h>
#include <OgreVector.h>

#include <string>
#include <vector>

namespace assetgen
{
// Collects flat-shaded solids (bevelled boxes, cylinders, prisms, spheres) as triangles wound
// counter-clockwise seen from outside, then writes them as an OGRE mesh and, for collision,
// as a point file of the same triangles. Each solid takes the current material, texture
// coordinate and bone, so one builder can make a mesh of several materials or a skinned one.
class MeshBuilder
{
public:
    static const unsigned NO_BONE = 0xFFFF;

    struct TVertex
    {
        Ogre::Vector3 position;
        Ogre::Vector3 normal;
        Ogre::Vector2 uv;
    };

    struct TTriangle
    {
        TVertex vertices[3];
        std::string material;
        unsigned bone;
    };

    void setMaterial(const std::string& material) { mMaterial = material; }
    // Every vertex of the following solids samples this point of the material's texture.
    void setTextureCoordinate(const Ogre::Vector2& uv) { mUV = uv; }
    void setBone(unsigned bone) { mBone = bone; }

    // A box of the given full extents centred on the transform's origin, its edges and
    // corners cut by the bevel (0 gives a plain box).
    void addBox(const Ogre::Vector3& size, float bevel, const Ogre::Matrix4& transform);
    // A cylinder along local y, centred on the origin, with flat caps.
    void addCylinder(float radius, float height, unsigned segments, const Ogre::Matrix4& transform);
    // A cone or truncated cone along local y from radius r0 at -height/2 to r1 at +height/2.
    void addCone(float radius0, float radius1, float height, unsigned segments,
                 const Ogre::Matrix4& transform);
    // A convex polygon in the x/y plane (counter-clockwise) extruded along z over the depth.
    void addPrism(const std::vector<Ogre::Vector2>& outline, float depth, const Ogre::Matrix4& transform);
    void addSphere(float radius, unsigned rings, unsigned segments, const Ogre::Matrix4& transform);
    // A double-sided flat quad (for glows and flashes), in the local x/y plane.
    void addQuad(const Ogre::Vector2& size, const Ogre::Matrix4& transform);
    // One triangle; its winding decides which side faces out.
    void addTriangle(const Ogre::Vector3& a, const Ogre::Vector3& b, const Ogre::Vector3& c,
                     const Ogre::Matrix4& transform);

    const std::vector<TTriangle>& getTriangles() const { return mTriangles; }
    Ogre::Vector3 getMinimum() const;
    Ogre::Vector3 getMaximum() const;

    // Writes the mesh, one submesh per material in order of first use. With a skeleton name,
    // every vertex is bound with full weight to the bone of its solid.
    bool writeMesh(const std::string& path, const std::string& skeletonName = "") const;
    // Writes the triangles as consecutive little-endian floats x, y, z, three points each.
    bool writePoints(const std::string& path) const;

    static Ogre::Matrix4 makeTransform(const Ogre::Vector3& position,
                                       const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY,
                                       const Ogre::Vector3& scale = Ogre::Vector3::UNIT_SCALE);

private:
    // A planar convex polygon, its normal taken from the points and turned to face away from
    // the given centre, so callers never worry about the point order.
    void addFace(const std::vector<Ogre::Vector3>& points, const Ogre::Vector3& centre,
                 const Ogre::Matrix4& transform);
    void addSmoothTriangle(const TVertex& a, const TVertex& b, const TVertex& c,
                           const Ogre::Matrix4& transform);

    std::vector<TTriangle> mTriangles;
    std::string mMaterial = "BaseWhite";
    Ogre::Vector2 mUV = Ogre::Vector2::ZERO;
    unsigned mBone = NO_BONE;
};
} // namespace assetgen
