#include "engine/presentation/messagedisplay.h"
#include "engine/core/ogrescene.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include "toolkit/thread.h"

#include <OgreManualObject.h>
#include <OgreRenderQueue.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace brix
{
namespace
{
// Where the first line hangs from, in normalised screen coordinates.
const Ogre::Vector3 TOP_LEFT(-0.99f, 0.99f, 0);
// Over the scene and the labels, under OGRE's own overlays.
const Ogre::uint8 RENDER_QUEUE = 99;
} // namespace

MessageDisplay::MessageDisplay(Ogre::SceneManager* sceneManager, unsigned int maximumLines, float lifetime,
                               const std::string& fontName, float textSize, const Ogre::ColourValue& colour)
    : mSceneManager(sceneManager), mMaximumLines(maximumLines),
      mLifetime(static_cast<unsigned int>(lifetime * 1000)), mFontName(fontName), mTextSize(textSize),
      mColour(colour), mObject(nullptr), mNode(nullptr), mAspectRatio(1.0f), mLastLineFinal(false),
      mHeld(false)
{
    OgreScene(sceneManager, 0).createSceneNode(mNode, mObject, nullptr);
    mObject->setRenderQueueGroup(RENDER_QUEUE);
    // Vertices are given straight in screen coordinates, -1 to 1 with y up.
    mObject->setUseIdentityView(true);
    mObject->setUseIdentityProjection(true);
}

MessageDisplay::~MessageDisplay()
{
    OgreScene(mSceneManager, 0).destroySceneNode(mNode, mObject);
}

unsigned int MessageDisplay::now() const
{
    return Thread::timer();
}

void MessageDisplay::writeMessage(const std::string& text, bool final)
{
    const unsigned int time = now();
    if (mLastLineFinal || mMessages.empty())
    {
        mMessages.emplace_back(text, time);
        if (mMessages.size() > mMaximumLines)
            mMessages.pop_front();
    }
    else
        mMessages.back() = TMessage(text, time);
    mLastLineFinal = final;
    updateOverlay();
}

void MessageDisplay::update()
{
    if (!mHeld && !mMessages.empty() && now() - mMessages.front().second > mLifetime)
    {
        mMessages.pop_front();
        updateOverlay();
    }
}

std::vector<std::string> MessageDisplay::getMessages() const
{
    std::vector<std::string> lines;
    for (const TMessage& message : mMessages)
        lines.push_back(message.first);
    return lines;
}

void MessageDisplay::clear()
{
    mMessages.clear();
    mLastLineFinal = false;
    mHeld = false;
    updateOverlay();
}

void MessageDisplay::setHeld(bool held)
{
    if (mHeld && !held)
    {
        const unsigned int time = now();
        for (TMessage& message : mMessages)
            message.second = time;
    }
    mHeld = held;
}

void MessageDisplay::setVisibilityFlags(unsigned int flags)
{
    mObject->setVisibilityFlags(flags);
}

void MessageDisplay::updateOverlay()
{
    OgreObjectBuilder builder(mObject, mFontName, Ogre::Vector2(0.0475f, 0.03125f),
                              Ogre::Vector2(0.015f, 0.03125f), Ogre::Vector2(0.03125f, 0.03125f));
    builder.setAspectRatio(mAspectRatio);
    std::string text;
    for (const TMessage& message : mMessages)
        text += message.first + "\n";
    builder.begin(true);
    builder.addText(TOP_LEFT, text, mTextSize, mColour, OgreObjectBuilder::ALIGN_LEFT,
                    OgreObjectBuilder::ALIGN_RIGHT, 0);
    builder.end();
    Ogre::AxisAlignedBox infinite;
    infinite.setInfinite();
    mObject->setBoundingBox(infinite);
}
} // namespace brix
