#pragma once
#include <string>

namespace Ogre
{
class Entity;
class Light;
class ManualObject;
class ParticleSystem;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AnimatedLight;

// Creates and destroys a scene node together with the one object that hangs on it. What is
// created belongs to the caller until it is passed back to destroySceneNode.
class OgreScene
{
public:
    // Every mesh entity created gets this many custom shader parameters, all (0, 0, 0, 0).
    OgreScene(Ogre::SceneManager* sceneManager, unsigned int customParameterCount);
    virtual ~OgreScene() {}

    // Each makes node a new child of parent (the root node when null) at the origin and attaches
    // the new object. An empty mesh name gives a bare node and leaves entity as it was.
    void createSceneNode(Ogre::SceneNode*& node, Ogre::Entity*& entity, Ogre::SceneNode* parent,
                         const std::string& meshName);
    void createSceneNode(Ogre::SceneNode*& node, Ogre::Light*& light, Ogre::SceneNode* parent);
    void createSceneNode(Ogre::SceneNode*& node, AnimatedLight*& light, Ogre::SceneNode* parent);
    // The particle system is named after the node. Throws for an unknown template.
    void createSceneNode(Ogre::SceneNode*& node, Ogre::ParticleSystem*& system, Ogre::SceneNode* parent,
                         const std::string& templateName);
    void createSceneNode(Ogre::SceneNode*& node, Ogre::ManualObject*& object, Ogre::SceneNode* parent);

    // Each destroys the node (with everything detached from it) and the object, and nulls both
    // references; either may be null.
    void destroySceneNode(Ogre::SceneNode*& node, Ogre::Entity*& entity);
    void destroySceneNode(Ogre::SceneNode*& node, Ogre::Light*& light);
    void destroySceneNode(Ogre::SceneNode*& node, AnimatedLight*& light);
    void destroySceneNode(Ogre::SceneNode*& node, Ogre::ParticleSystem*& system);
    void destroySceneNode(Ogre::SceneNode*& node, Ogre::ManualObject*& object);

    // The attenuation every light of the game uses: reaches zero influence around range.
    static void setLightRange(Ogre::Light* light, float range);

private:
    Ogre::SceneNode* createNode(Ogre::SceneNode* parent, bool named = false);
    void destroyNode(Ogre::SceneNode*& node);

    Ogre::SceneManager* mSceneManager;
    unsigned int mCustomParameterCount;
};
} // namespace brix
