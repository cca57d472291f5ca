#pragma once
#include <OgreMesh.h>
#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace Ogre
{
class Entity;
class SceneNode;
} // namespace Ogre

namespace brix
{
class Body;
class NetworkStateCodec;
} // namespace brix

namespace game
{
class EntityManager;

// The position as a door, platform or shield sends it: x and y in 16 bits within +-250, z in 8
// bits within +-5. Their orientation never changes and is not sent.
void bindMechanismPosition(brix::NetworkStateCodec& codec, Ogre::Vector3& position);

// The mesh node and physics body of a door, platform or shield, and what each of them does
// with the two alike. Either may be missing (no scene, no body); every call then does nothing.
class MechanismParts
{
public:
    // A node with an OGRE entity of the mesh under the manager's root node; none without a scene.
    void createNode(EntityManager* manager, const Ogre::MeshPtr& mesh, const Ogre::Vector3& position,
                    const Ogre::Quaternion& orientation);
    void destroyNode(EntityManager* manager);
    // Out of the world, without controller and entity, deleted at the simulator's next flush, so
    // no contact of the coming step leads back to a removed entity.
    void destroyBody(EntityManager* manager);
    void place(const Ogre::Vector3& position, const Ogre::Quaternion& orientation);
    // The node follows always, the body only on a non-authoritative side.
    void setEnabled(bool enabled, bool authoritative);
    void disableBody();
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse);
    // The body's pose and velocities into the entity's fields; angular may be null.
    void readBack(Ogre::Vector3& position, Ogre::Quaternion& orientation, Ogre::Vector3& linear,
                  Ogre::Vector3* angular) const;

    Ogre::Entity* meshEntity = nullptr;
    Ogre::SceneNode* node = nullptr;
    brix::Body* body = nullptr;
};
} // namespace game
