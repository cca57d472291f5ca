#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <string>
#include <vector>

namespace brix
{
class XMLElement;

// The data description of one rigid body (shapes, mass, damping, material, sensors, the joint
// to its parent) and, through child templates, of a whole tree of bodies. Templates are read
// from the "body" elements of the body-definition files or built in code, and kept by name
// in the simulator, which owns them.
class BodyTemplate
{
public:
    enum ShapeType
    {
        SHAPE_BOX = 0,
        SHAPE_SPHERE = 1,
        SHAPE_CYLINDER = 2,
        SHAPE_MESH = 3,
        SHAPE_HULL = 4
    };

    enum SensorType
    {
        SENSOR_RAY = 0,
        SENSOR_CRUSH = 1
    };

    enum JointType
    {
        JOINT_NONE = 0,
        JOINT_HINGE = 1,
        JOINT_SLIDER = 2,
        JOINT_UNIVERSAL = 3,
        JOINT_FIXED = 4,
        JOINT_LIMIT = 5
    };

    // Bytes of one point in a collision-mesh file: three little-endian 32-bit floats.
    static constexpr unsigned MESH_POINT_SIZE = 12;
    // A collision-mesh file holds whole triangles, hull files too.
    static constexpr unsigned MESH_TRIANGLE_SIZE = 3 * MESH_POINT_SIZE;

    // One collision shape in the body frame.
    struct TShape
    {
        unsigned type = SHAPE_BOX;
        // Full extents along x, y and z.
        Ogre::Vector3 size = Ogre::Vector3::ZERO;
        Ogre::Vector3 position = Ogre::Vector3::ZERO;
        Ogre::Quaternion orientation = Ogre::Quaternion::IDENTITY;
        // A mesh's triangles as consecutive triples, or a hull's points.
        std::vector<Ogre::Vector3> points;
    };

    // A ray sensor casts from origin to target, both in the body frame.
    struct TSensor
    {
        std::string name;
        unsigned type = SENSOR_RAY;
        Ogre::Vector3 origin = Ogre::Vector3::ZERO;
        Ogre::Vector3 target = Ogre::Vector3::ZERO;
    };

    struct TAxis
    {
        Ogre::Vector3 direction = Ogre::Vector3::ZERO;
        float high = 0.0f;
        float low = 0.0f;
    };

    // A limit joint holds the body's linear factor in the first axis direction and its
    // angular factor in the second.
    struct TJoint
    {
        unsigned type = JOINT_NONE;
        Ogre::Vector3 anchor = Ogre::Vector3::ZERO;
        TAxis axes[2];
    };

    explicit BodyTemplate(std::string name);
    // Deletes the child templates.
    virtual ~BodyTemplate();
    BodyTemplate(const BodyTemplate&) = delete;
    BodyTemplate& operator=(const BodyTemplate&) = delete;

    const std::string& getName() const { return mName; }
    // Relative to the parent body's frame.
    void setPosition(const Ogre::Vector3& position) { mPosition = position; }
    const Ogre::Vector3& getPosition() const { return mPosition; }
    void setOrientation(const Ogre::Quaternion& orientation) { mOrientation = orientation; }
    const Ogre::Quaternion& getOrientation() const { return mOrientation; }
    void setMass(float mass) { mMass = mass; }
    float getMass() const { return mMass; }
    void setLinearDamping(float damping) { mLinearDamping = damping; }
    float getLinearDamping() const { return mLinearDamping; }
    void setAngularDamping(float damping) { mAngularDamping = damping; }
    float getAngularDamping() const { return mAngularDamping; }
    void setAutoSleep(bool autoSleep) { mAutoSleep = autoSleep; }
    bool getAutoSleep() const { return mAutoSleep; }
    void setGravityFactor(float factor) { mGravityFactor = factor; }
    float getGravityFactor() const { return mGravityFactor; }
    void setContinuousCollision(bool continuous) { mContinuousCollision = continuous; }
    bool getContinuousCollision() const { return mContinuousCollision; }
    // Empty means no material: the physics library's default friction and restitution.
    void setMaterial(const std::string& material) { mMaterial = material; }
    const std::string& getMaterial() const { return mMaterial; }
    // Derived from the shapes when loaded; 0 for templates built in code.
    float getBoundingRadius() const { return mBoundingRadius; }

    void setJoint(const TJoint& joint) { mJoint = joint; }
    const TJoint& getJoint() const { return mJoint; }
    bool hasJoint() const { return mJoint.type != JOINT_NONE; }
    void resetJoint() { mJoint.type = JOINT_NONE; }

    void addShape(const TShape& shape) { mShapes.push_back(shape); }
    unsigned numShapes() const { return static_cast<unsigned>(mShapes.size()); }
    const TShape& getShape(unsigned index) const { return mShapes[index]; }
    void removeShapes() { mShapes.clear(); }

    void addSensor(const TSensor& sensor) { mSensors.push_back(sensor); }
    unsigned numSensors() const { return static_cast<unsigned>(mSensors.size()); }
    const TSensor& getSensor(unsigned index) const { return mSensors[index]; }
    void removeSersors() { mSensors.clear(); }

    // Appends a new child template and returns it; this template owns it.
    BodyTemplate* createChild(const std::string& name);
    unsigned numChildren() const { return static_cast<unsigned>(mChildren.size()); }
    BodyTemplate* getChild(unsigned index) const { return mChildren[index]; }
    // The first child of that name; with recursive, then each child's subtree in order.
    BodyTemplate* getChild(const std::string& name, bool recursive) const;
    void destroyChildren();

    // Back to a plain dynamic body: mass 1, dampings 0.1, nothing else. Continuous collision
    // and the bounding radius stay as they were.
    void clear();

    // Reads one "body" element with its shapes, sensors, joint and child bodies. Bad data
    // throws an OGRE exception naming the body; the template is then half filled.
    void load(const XMLElement* element);

private:
    void loadShape(const XMLElement* element);
    void loadSensor(const XMLElement* element);
    void loadJoint(const XMLElement* element);
    void calculateBoundingRadius();

    // Appends the points of a collision-mesh file, each turned and moved by the given
    // transformation. False, with the cause logged, when the file is missing, unreadable,
    // empty or not made of whole triangles.
    static bool loadMeshShapeDataFromFile(const std::string& path, const Ogre::Vector3& translation,
                                          const Ogre::Quaternion& rotation,
                                          std::vector<Ogre::Vector3>& points);
    // Keeps the first of exactly equal points, in order.
    static void removeDuplicatePointsFromData(std::vector<Ogre::Vector3>& points);

    std::string mName;
    std::vector<BodyTemplate*> mChildren;
    std::string mMaterial;
    std::vector<TShape> mShapes;
    std::vector<TSensor> mSensors;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mOrientation = Ogre::Quaternion::IDENTITY;
    TJoint mJoint;
    float mMass = 0.0f;
    float mLinearDamping = 0.1f;
    float mAngularDamping = 0.1f;
    bool mAutoSleep = true;
    bool mContinuousCollision = false;
    float mGravityFactor = 1.0f;
    float mBoundingRadius = 0.0f;
};
} // namespace brix
