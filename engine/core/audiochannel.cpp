#include "engine/core/audiochannel.h"
#include "engine/core/audioeffect.h"
#include "engine/core/audiomanager.h"
#include "toolkit/thread.h"

#include <OgreException.h>

#include <AL/al.h>
#include <AL/efx.h>

namespace brix
{
AudioChannel::AudioChannel(AudioManager* manager, AudioEffect* effect) : mManager(manager), mEffect(effect)
{
    alGetError();
    alGenSources(1, &mSource);
    ALenum error = alGetError();
    if (error != AL_NO_ERROR)
    {
        mSource = 0;
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                    std::string("OpenAL source creation failed: ") + AudioManager::_translateErrorAL(error),
                    "AudioChannel::AudioChannel");
    }
    if (mEffect)
    {
        alSource3i(mSource, AL_AUXILIARY_SEND_FILTER, (ALint)mEffect->getSlot(), 0, AL_FILTER_NULL);
        error = alGetError();
        if (error != AL_NO_ERROR)
        {
            alDeleteSources(1, &mSource);
            mSource = 0;
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                        std::string("OpenAL source auxiliary send setting failed: ") +
                            AudioManager::_translateErrorAL(error),
                        "AudioChannel::AudioChannel");
        }
    }
}

AudioChannel::~AudioChannel()
{
    alSourceStop(mSource);
    for (unsigned wait = 0; isPlaying() && wait < STOP_WAIT_LIMIT; ++wait)
        Thread::sleep(10);
    alSourcei(mSource, AL_BUFFER, 0);
    alDeleteSources(1, &mSource);
}

bool AudioChannel::isPlaying() const
{
    ALint state = AL_STOPPED;
    alGetSourcei(mSource, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void AudioChannel::setPlacement(const Ogre::Vector3& position, float gain, float pitch)
{
    if (gain >= 0.0f)
    {
        alSourcei(mSource, AL_SOURCE_RELATIVE, AL_FALSE);
        alSource3f(mSource, AL_POSITION, position.x, position.y, position.z);
        alSourcef(mSource, AL_GAIN, gain);
    }
    else
    {
        alSourcei(mSource, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(mSource, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(mSource, AL_GAIN, -gain);
    }
    alSourcef(mSource, AL_PITCH, pitch);
}
} // namespace brix
