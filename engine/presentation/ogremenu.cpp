#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutransition.h"

#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace brix
{
OgreMenu::OgreMenu(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent, const std::string& fontName,
                   float textSize, const Ogre::ColourValue& textColour,
                   const Ogre::ColourValue& selectedColour, bool orthogonal, GLFWwindow* window)
    : mSceneManager(sceneManager), mWindow(window), mSceneNode(nullptr), mFontName(fontName),
      mTextSize(textSize), mTextColour(textColour), mSelectedColour(selectedColour), mAspectRatio(1.0f),
      mOrthogonal(orthogonal), mDefaultPage(0), mCurrentPage(0), mPreviousPage(0), mVisible(false),
      mTransition(nullptr), mVisibilityFlags(0xFFFFFFFF)
{
    mSceneNode = parent->createChildSceneNode();
}

OgreMenu::~OgreMenu()
{
    for (OgreMenuPage* page : mPages)
        delete page;
    mSceneManager->destroySceneNode(mSceneNode);
}

OgreMenuPage* OgreMenu::addPage(const std::string& name, const std::string& title, OgreMenuListener* listener)
{
    OgreMenuPage* page = new OgreMenuPage(this, name, title, listener);
    page->setVisibilityFlags(mVisibilityFlags);
    mPages.push_back(page);
    return page;
}

OgreMenuPage* OgreMenu::getPage(const std::string& name)
{
    for (OgreMenuPage* page : mPages)
        if (page->getName() == name)
            return page;
    return nullptr;
}

OgreMenuPage* OgreMenu::getCurrentPage()
{
    return mCurrentPage < mPages.size() ? mPages[mCurrentPage] : nullptr;
}

void OgreMenu::setPageVisible(unsigned int index, bool visible)
{
    if (index < mPages.size())
        mPages[index]->setVisible(visible);
}

void OgreMenu::cancelTransition()
{
    if (!isSwitching())
        return;
    mTransition->cancel();
    mPreviousPage = mCurrentPage;
}

void OgreMenu::show(const std::string& name)
{
    cancelTransition();
    unsigned int index = 0;
    while (index < mPages.size() && mPages[index]->getName() != name)
        ++index;
    if (index == mPages.size())
        return;
    mPreviousPage = mCurrentPage;
    mCurrentPage = index;
    mPages[mCurrentPage]->onShow();
    if (isSwitching() && mPreviousPage < mPages.size())
    {
        mTransition->start(mPages[mPreviousPage], mPages[mCurrentPage]);
        setPageVisible(mPreviousPage, true);
        setPageVisible(mCurrentPage, true);
    }
    else
    {
        setPageVisible(mPreviousPage, false);
        setPageVisible(mCurrentPage, true);
        mPreviousPage = mCurrentPage;
    }
    mSceneNode->setVisible(true, false);
    mVisible = true;
}

void OgreMenu::hide()
{
    cancelTransition();
    setPageVisible(mCurrentPage, false);
    mSceneNode->setVisible(false, false);
    mVisible = false;
}

void OgreMenu::handleCommand(OgreMenuItem::Command command)
{
    if (OgreMenuPage* page = getCurrentPage())
        page->handleCommand(command);
}

void OgreMenu::handleCharacter(int character)
{
    if (OgreMenuPage* page = getCurrentPage())
        page->handleCharacter(character);
}

void OgreMenu::update(float seconds)
{
    for (OgreMenuPage* page : mPages)
        page->update(seconds);
    if (!isSwitching())
        return;
    mTransition->update(seconds);
    if (mTransition->isComplete())
    {
        setPageVisible(mPreviousPage, false);
        mPreviousPage = mCurrentPage;
    }
}

void OgreMenu::setVisibilityFlags(unsigned int flags)
{
    mVisibilityFlags = flags;
    for (OgreMenuPage* page : mPages)
        page->setVisibilityFlags(flags);
}

void OgreMenu::setDefaultPage(const std::string& name)
{
    mDefaultPage = 0;
    for (unsigned int i = 0; i < mPages.size(); ++i)
        if (mPages[i]->getName() == name)
        {
            mDefaultPage = i;
            return;
        }
}
} // namespace brix
