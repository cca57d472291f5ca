#include "engine/core/ogrescene.h"

#include "engine/core/animatedlight.h"

#include <OgreEntity.h>
#include <OgreLight.h>
#include <OgreManualObject.h>
#include <OgreNameGenerator.h>
#include <OgreParticleSystem.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSubEntity.h>

namespace brix
{
namespace
{
// Particle systems need unique names and take their node's: such nodes get a made-up one.
Ogre::NameGenerator particleNodeNames("OgreSceneNode");
} // namespace

OgreScene::OgreScene(Ogre::SceneManager* sceneManager, unsigned int customParameterCount)
    : mSceneManager(sceneManager), mCustomParameterCount(customParameterCount)
{
}

Ogre::SceneNode* OgreScene::createNode(Ogre::SceneNode* parent, bool named)
{
    if (!parent)
        parent = mSceneManager->getRootSceneNode();
    return named ? parent->createChildSceneNode(particleNodeNames.generate())
                 : parent->createChildSceneNode();
}

void OgreScene::destroyNode(Ogre::SceneNode*& node)
{
    if (!node)
        return;
    node->detachAllObjects();
    if (Ogre::SceneNode* parent = node->getParentSceneNode())
        parent->removeChild(node);
    mSceneManager->destroySceneNode(node);
    node = nullptr;
}

void OgreScene::createSceneNode(Ogre::SceneNode*& node, Ogre::Entity*& entity, Ogre::SceneNode* parent,
                                const std::string& meshName)
{
    node = createNode(parent);
    if (meshName.empty())
        return;
    entity = mSceneManager->createEntity(meshName);
    for (size_t i = 0; i < entity->getNumSubEntities(); ++i)
        for (unsigned int index = 0; index < mCustomParameterCount; ++index)
            entity->getSubEntity(i)->setCustomParameter(index, Ogre::Vector4(0, 0, 0, 0));
    node->attachObject(entity);
}

void OgreScene::createSceneNode(Ogre::SceneNode*& node, Ogre::Light*& light, Ogre::SceneNode* parent)
{
    node = createNode(parent);
    light = mSceneManager->createLight();
    node->attachObject(light);
}

void OgreScene::createSceneNode(Ogre::SceneNode*& node, AnimatedLight*& light, Ogre::SceneNode* parent)
{
    node = createNode(parent);
    light = new AnimatedLight(mSceneManager);
    node->attachObject(light->getMovableObject());
}

void OgreScene::createSceneNode(Ogre::SceneNode*& node, Ogre::ParticleSystem*& system,
                                Ogre::SceneNode* parent, const std::string& templateName)
{
    node = createNode(parent, true);
    system = mSceneManager->createParticleSystem(node->getName(), templateName);
    node->attachObject(system);
}

void OgreScene::createSceneNode(Ogre::SceneNode*& node, Ogre::ManualObject*& object, Ogre::SceneNode* parent)
{
    node = createNode(parent);
    object = mSceneManager->createManualObject();
    node->attachObject(object);
}

void OgreScene::destroySceneNode(Ogre::SceneNode*& node, Ogre::Entity*& entity)
{
    destroyNode(node);
    if (entity)
        mSceneManager->destroyEntity(entity);
    entity = nullptr;
}

void OgreScene::destroySceneNode(Ogre::SceneNode*& node, Ogre::Light*& light)
{
    destroyNode(node);
    if (light)
        mSceneManager->destroyLight(light);
    light = nullptr;
}

void OgreScene::destroySceneNode(Ogre::SceneNode*& node, AnimatedLight*& light)
{
    destroyNode(node);
    delete light;
    light = nullptr;
}

void OgreScene::destroySceneNode(Ogre::SceneNode*& node, Ogre::ParticleSystem*& system)
{
    destroyNode(node);
    if (system)
        mSceneManager->destroyParticleSystem(system);
    system = nullptr;
}

void OgreScene::destroySceneNode(Ogre::SceneNode*& node, Ogre::ManualObject*& object)
{
    destroyNode(node);
    if (object)
        mSceneManager->destroyManualObject(object);
    object = nullptr;
}

void OgreScene::setLightRange(Ogre::Light* light, float range)
{
    light->setAttenuation(range, 1.0f, 0.0f, 10.0f / (range * range));
}
} // namespace brix
