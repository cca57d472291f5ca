#pragma once
#include <string>

namespace brix
{
class AudioManager;
class AudioStream;
} // namespace brix

namespace game
{
// Plays one looping music track at a time, at the listener. A new track waits until the one
// playing has faded out, then starts at full level (there is no fade-in); playing the track
// already playing starts it over. Tracks are Ogg Vorbis resources of RESOURCE_GROUP. Main
// thread only; update() once per frame.
class MusicPlayer
{
public:
    static const char* const RESOURCE_GROUP;
    // The gain of music at full level.
    static constexpr float VOLUME = 0.65f;
    // Level lost per second while fading out: a full fade takes 2 seconds.
    static constexpr float FADE_SPEED = 0.5f;

    // The manager outlives the player.
    explicit MusicPlayer(brix::AudioManager* audio);
    // Destroys the stream playing, if any.
    virtual ~MusicPlayer();
    MusicPlayer(const MusicPlayer&) = delete;
    MusicPlayer& operator=(const MusicPlayer&) = delete;

    // Fades out what plays and then starts the track; without fade the switch comes on the next
    // update. A track that is not a resource is logged and dropped: the music fades to silence.
    void play(const std::string& track, bool fade);
    // Fades out to silence.
    void stop();
    void update(float seconds);

private:
    friend class MusicPlayerTestAccess;

    // Starts the pending track at full level; logs and leaves silence when it cannot be opened.
    void startPending();

    brix::AudioManager* mAudio;
    brix::AudioStream* mStream = nullptr;
    float mVolume = VOLUME;
    // 0 to 1, the share of the volume the stream plays at.
    float mLevel = 0.0f;
    // 0 while idle, -1 while fading out.
    float mFadeRate = 0.0f;
    // Empty when none.
    std::string mPending;
};
} // namespace game
