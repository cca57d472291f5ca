#include "game/world/mechanismsound.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "toolkit/xmlelement.h"

namespace game
{
Entity::SamplePtr MechanismSound::load(const brix::XMLElement* element, const std::string& child)
{
    std::string name = element->getValue(child, "");
    brix::AudioManager* audio = brix::AudioManager::getSingletonPtr();
    if (name.empty() || !audio)
        return Entity::SamplePtr();
    return audio->load(name, "default");
}

void MechanismSound::playOnce(const Entity::SamplePtr& sample, const Ogre::Vector3& position)
{
    if (sample)
        sample->play(position, 1.0f, 1.0f, false, brix::AudioSample::DEFAULT_PRIORITY);
}

void MechanismSound::startLoop(const Entity::SamplePtr& sample, unsigned& handle,
                               const Ogre::Vector3& position, float gain, int priority)
{
    if (sample && !handle)
        handle = sample->play(position, gain, 1.0f, true, priority);
}

void MechanismSound::stopLoop(const Entity::SamplePtr& sample, unsigned& handle)
{
    if (sample && handle)
        sample->stop(handle);
    handle = 0;
}

void MechanismSound::adjustLoop(const Entity::SamplePtr& sample, unsigned handle,
                                const Ogre::Vector3& position, float gain, float pitch)
{
    if (sample && handle)
        sample->adjust(handle, position, gain, pitch);
}
} // namespace game
