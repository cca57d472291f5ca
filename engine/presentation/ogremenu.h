#pragma once
#include "engine/presentation/ogremenuitem.h"

#include <OgreColourValue.h>

#include <string>
#include <vector>

struct GLFWwindow;

namespace Ogre
{
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class OgreMenuListener;
class OgreMenuPage;
class OgreMenuTransition;

// A text menu drawn as geometry in the scene, or in screen space when orthogonal, and driven
// by commands rather than raw input. It holds named pages and shows one at a time; a
// transition, when set, animates the switch. Main thread only.
class OgreMenu
{
public:
    // Makes the menu's node under parent. The window serves the clipboard and may be null,
    // which turns copy and paste off. Text size is the height of item text in scene units.
    OgreMenu(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent, const std::string& fontName,
             float textSize, const Ogre::ColourValue& textColour, const Ogre::ColourValue& selectedColour,
             bool orthogonal, GLFWwindow* window);
    virtual ~OgreMenu();
    OgreMenu(const OgreMenu&) = delete;
    OgreMenu& operator=(const OgreMenu&) = delete;

    // Pages are owned by the menu and kept in creation order; names need not be unique, and
    // lookups find the first page of a name. The listener is not owned and may be null.
    OgreMenuPage* addPage(const std::string& name, const std::string& title, OgreMenuListener* listener);
    OgreMenuPage* getPage(const std::string& name);
    // Null when there are no pages.
    OgreMenuPage* getCurrentPage();

    // Shows the first page of that name (again, when it is current: its selection returns to
    // the first selectable item). An unknown name only cuts a running transition short.
    void show(const std::string& name);
    void hide();
    bool isVisible() const { return mVisible; }

    // Passed to the current page, whether or not the menu is visible.
    virtual void handleCommand(OgreMenuItem::Command command);
    virtual void handleCharacter(int character);
    // Once per frame: rebuilds changed pages and runs the transition.
    void update(float seconds);

    void setVisibilityFlags(unsigned int flags);
    // The transition is not owned and must stay alive while set; null switches at once.
    void setTransition(OgreMenuTransition* transition) { mTransition = transition; }
    // Records the named page (the first, when none has that name); the menu never reads it.
    void setDefaultPage(const std::string& name);
    // Width over height of a scene unit on screen; applies from each page's next rebuild.
    void setAspectRatio(float aspectRatio) { mAspectRatio = aspectRatio; }

    float getAspectRatio() const { return mAspectRatio; }
    const std::string& getFontName() const { return mFontName; }
    float getTextSize() const { return mTextSize; }
    const Ogre::ColourValue& getTextColor(bool selected) const
    {
        return selected ? mSelectedColour : mTextColour;
    }
    bool isOrthogonal() const { return mOrthogonal; }
    Ogre::SceneManager* getSceneManager() const { return mSceneManager; }
    Ogre::SceneNode* getSceneNode() const { return mSceneNode; }
    GLFWwindow* getWindow() const { return mWindow; }

private:
    bool isSwitching() const { return mTransition && mCurrentPage != mPreviousPage; }
    void cancelTransition();
    void setPageVisible(unsigned int index, bool visible);

    Ogre::SceneManager* mSceneManager;
    GLFWwindow* mWindow;
    Ogre::SceneNode* mSceneNode;
    std::string mFontName;
    float mTextSize;
    Ogre::ColourValue mTextColour;
    Ogre::ColourValue mSelectedColour;
    float mAspectRatio;
    bool mOrthogonal;
    std::vector<OgreMenuPage*> mPages;
    unsigned int mDefaultPage;
    unsigned int mCurrentPage;
    // The page a running transition comes from; equal to the current page otherwise.
    unsigned int mPreviousPage;
    bool mVisible;
    OgreMenuTransition* mTransition;
    unsigned int mVisibilityFlags;
};
} // namespace brix
