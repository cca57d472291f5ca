#include "support/ogre/sceneobjects.h"

#include <OgreEntity.h>
#include <OgreMesh.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace test
{
namespace
{
void countNodes(const Ogre::Node& node, unsigned& count)
{
    for (const Ogre::Node* child : node.getChildren())
    {
        ++count;
        countNodes(*child, count);
    }
}
} // namespace

std::map<std::string, unsigned> sceneObjects(Ogre::SceneManager& scene)
{
    std::map<std::string, unsigned> objects;
    unsigned nodes = 0;
    countNodes(*scene.getRootSceneNode(), nodes);
    if (nodes)
        objects["node"] = nodes;
    for (const auto& factory : Ogre::Root::getSingleton().getMovableObjectFactories())
    {
        const std::string& type = factory.first;
        for (const auto& object : scene.getMovableObjects(type))
            ++objects[type == Ogre::EntityFactory::FACTORY_TYPE_NAME
                          ? static_cast<const Ogre::Entity*>(object.second)->getMesh()->getName()
                          : type];
    }
    return objects;
}
} // namespace test
