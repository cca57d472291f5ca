#pragma once
#include <map>
#include <string>

namespace Ogre
{
class SceneManager;
}

namespace test
{
// What a scene holds, whoever made it and whether anything still knows of it: the scene nodes
// under its root as "node", each mesh entity as its mesh's name, and every other movable object
// (light, particle system, billboard chain, manual object) as its type, each with its count.
std::map<std::string, unsigned> sceneObjects(Ogre::SceneManager& scene);
} // namespace test
