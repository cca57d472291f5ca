#pragma once
#include <OgreColourValue.h>

#include <list>
#include <string>
#include <vector>
#include <utility>

namespace Ogre
{
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
// The player's on-screen message log: a few lines in the top-left corner, newest at the
// bottom, each gone after a fixed lifetime. A line written as provisional (final false) is
// replaced by the next message, for live readouts and progress. Lines that must be read (why a
// game ended) can be held past their lifetime. Main thread only.
class MessageDisplay
{
public:
    // The lifetime is in seconds; the text size in screen units (the screen is 2 high).
    MessageDisplay(Ogre::SceneManager* sceneManager, unsigned int maximumLines, float lifetime,
                   const std::string& fontName, float textSize, const Ogre::ColourValue& colour);
    virtual ~MessageDisplay();
    MessageDisplay(const MessageDisplay&) = delete;
    MessageDisplay& operator=(const MessageDisplay&) = delete;

    // Text is UTF-8 and may come from peers.
    void writeMessage(const std::string& text, bool final);
    // Drops the oldest line once it has outlived the lifetime; at most one line per call.
    void update();
    // Clearing also ends a hold.
    void clear();
    // While held no line expires; once released, every line shown has its whole lifetime again.
    void setHeld(bool held);
    // The lines shown now, oldest first.
    std::vector<std::string> getMessages() const;
    // How long a line stays on screen, in ms.
    unsigned int getLifetime() const { return mLifetime; }
    // Screen width over height; used from the next rebuild.
    void setAspectRatio(float aspectRatio) { mAspectRatio = aspectRatio; }
    void setVisibilityFlags(unsigned int flags);

protected:
    // Milliseconds of brix::Thread::timer.
    virtual unsigned int now() const;

private:
    typedef std::pair<std::string, unsigned int> TMessage;

    void updateOverlay();

    Ogre::SceneManager* mSceneManager;
    unsigned int mMaximumLines;
    unsigned int mLifetime;
    std::string mFontName;
    float mTextSize;
    Ogre::ColourValue mColour;
    Ogre::ManualObject* mObject;
    Ogre::SceneNode* mNode;
    float mAspectRatio;
    std::list<TMessage> mMessages;
    bool mLastLineFinal;
    bool mHeld;
};
} // namespace brix
