#include "game/world/mechanismparts.h"
#include "engine/core/body.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "network/networkstatecodec.h"

#include <OgreSceneNode.h>

namespace game
{
void bindMechanismPosition(brix::NetworkStateCodec& codec, Ogre::Vector3& position)
{
    codec.bind(&position.x, -250.0f, 250.0f, 16);
    codec.bind(&position.y, -250.0f, 250.0f, 16);
    codec.bind(&position.z, -5.0f, 5.0f, 8);
}

void MechanismParts::createNode(EntityManager* manager, const Ogre::MeshPtr& mesh,
                                const Ogre::Vector3& position, const Ogre::Quaternion& orientation)
{
    Ogre::SceneManager* sceneManager = manager->getSceneManager();
    if (!sceneManager)
        return;
    brix::OgreScene scene(sceneManager, 0);
    scene.createSceneNode(node, meshEntity, manager->getRootSceneNode(), mesh->getName());
    place(position, orientation);
}

void MechanismParts::destroyNode(EntityManager* manager)
{
    if (!node)
        return;
    brix::OgreScene scene(manager->getSceneManager(), 0);
    scene.destroySceneNode(node, meshEntity);
}

void MechanismParts::destroyBody(EntityManager* manager)
{
    if (body)
    {
        body->setController(nullptr);
        body->setEnabled(false);
        body->setUserData(nullptr);
        manager->getSimulator()->destroyBody(body);
    }
    body = nullptr;
}

void MechanismParts::place(const Ogre::Vector3& position, const Ogre::Quaternion& orientation)
{
    if (!node)
        return;
    node->setPosition(position);
    node->setOrientation(orientation);
}

void MechanismParts::setEnabled(bool enabled, bool authoritative)
{
    if (node)
        node->setVisible(enabled, true);
    if (body && !authoritative)
        body->setEnabled(enabled);
}

void MechanismParts::disableBody()
{
    if (body)
        body->setEnabled(false);
}

void MechanismParts::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    if (body)
        body->applyImpulse(impulse, point, false);
}

void MechanismParts::readBack(Ogre::Vector3& position, Ogre::Quaternion& orientation, Ogre::Vector3& linear,
                              Ogre::Vector3* angular) const
{
    if (!body)
        return;
    position = body->getPosition();
    orientation = body->getOrientation();
    linear = body->getLinearVelocity();
    if (angular)
        *angular = body->getAngularVelocity();
}
} // namespace game
