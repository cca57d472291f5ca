#pragma once
#include "game/world/entity.h"

namespace game
{
// The single optional sounds of doors, platforms and shields: one sample per definition child,
// a looped one remembered by its handle so that it starts once and stops once.
class MechanismSound
{
public:
    // The sample named by the child, group "default"; null when the child is missing or empty,
    // when there is no audio manager (a headless server, a tool) or when it cannot be loaded.
    static Entity::SamplePtr load(const brix::XMLElement* element, const std::string& child);
    static void playOnce(const Entity::SamplePtr& sample, const Ogre::Vector3& position);
    // Starts the loop unless the handle says it already plays.
    static void startLoop(const Entity::SamplePtr& sample, unsigned& handle, const Ogre::Vector3& position,
                          float gain, int priority);
    static void stopLoop(const Entity::SamplePtr& sample, unsigned& handle);
    static void adjustLoop(const Entity::SamplePtr& sample, unsigned handle, const Ogre::Vector3& position,
                           float gain, float pitch);
};
} // namespace game
