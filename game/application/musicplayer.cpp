#include "game/application/musicplayer.h"

#include "engine/core/audiomanager.h"
#include "engine/core/audiostream.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreResourceGroupManager.h>

namespace game
{
namespace
{
const float FADING_OUT = -1.0f;
const float PITCH = 1.0f;

// The engine plays a negative gain at the listener with its positive value.
float listenerGain(float gain)
{
    return -gain;
}

bool trackExists(const std::string& track)
{
    try
    {
        return Ogre::ResourceGroupManager::getSingleton().resourceExists(MusicPlayer::RESOURCE_GROUP, track);
    }
    catch (const Ogre::Exception&)
    {
        // The group itself is not declared.
        return false;
    }
}
} // namespace

const char* const MusicPlayer::RESOURCE_GROUP = "default";

MusicPlayer::MusicPlayer(brix::AudioManager* audio) : mAudio(audio) {}

MusicPlayer::~MusicPlayer()
{
    if (mStream)
        mAudio->destroyStream(mStream);
}

void MusicPlayer::play(const std::string& track, bool fade)
{
    mPending = track;
    mFadeRate = FADING_OUT;
    if (!fade)
        mLevel = 0.0f;
    if (!trackExists(track))
    {
        brix::Log::info("Attempt to play non-existing music track: %s", track.c_str());
        mPending.clear();
    }
}

void MusicPlayer::stop()
{
    mPending.clear();
    mFadeRate = FADING_OUT;
}

void MusicPlayer::update(float seconds)
{
    if (mFadeRate == 0.0f)
        return;
    mLevel += seconds * FADE_SPEED * mFadeRate;
    if (mLevel <= 0.0f)
    {
        if (mStream)
        {
            mStream->stop();
            mAudio->destroyStream(mStream);
            mStream = nullptr;
        }
        mLevel = 0.0f;
        mFadeRate = 0.0f;
        if (!mPending.empty())
            startPending();
    }
    if (mStream)
        mStream->adjust(Ogre::Vector3::ZERO, listenerGain(mVolume * mLevel), PITCH);
}

void MusicPlayer::startPending()
{
    const std::string track = mPending;
    mPending.clear();
    try
    {
        mStream = mAudio->createStream(track, RESOURCE_GROUP);
    }
    catch (const Ogre::Exception& e)
    {
        // A file that is there but does not decode: no music rather than no game.
        brix::Log::error("Could not play music track %s: %s", track.c_str(), e.getDescription().c_str());
        return;
    }
    mLevel = 1.0f;
    mStream->play(Ogre::Vector3::ZERO, listenerGain(mVolume * mLevel), PITCH, true);
}
} // namespace game
