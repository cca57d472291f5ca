#pragma once
#include <string>

namespace Ogre
{
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class OgreMenu;
} // namespace brix

namespace game
{
// What surrounds the menu in screen space: the logo above it and a one-line footer below it.
// Both slide in over half a second while the page "main" is shown and slide out when another
// page, or no menu, is on screen; on the main page the menu itself sits a little lower.
// Coordinates are normalised screen units (-1 to 1 on both axes). Main thread only.
class MenuFrame
{
public:
    static const char* const MAIN_PAGE;
    static const char* const FONT_NAME;
    static const char* const LOGO_MATERIAL;
    static const unsigned char RENDER_QUEUE_GROUP = 100;
    // Slide position per second: 0 (out) to 1 (in) takes half a second.
    static constexpr float SLIDE_SPEED = 2.0f;
    // Where the logo and the footer rest, and how far off they start.
    static constexpr float LOGO_Y = 0.45f;
    static constexpr float LOGO_SLIDE = 0.75f;
    static constexpr float FOOTER_Y = -0.94f;
    static constexpr float FOOTER_SLIDE = -0.2f;
    // The menu's drop on the main page.
    static constexpr float MAIN_PAGE_MENU_Y = -0.15f;
    static constexpr float LOGO_HALF_WIDTH = 0.4f;
    static constexpr float LOGO_HALF_HEIGHT = 0.15f;
    static constexpr float FOOTER_X = 0.99f;
    static constexpr float FOOTER_TEXT_SIZE = 0.05f;

    // Both objects are made under parent, hidden. The menu is borrowed.
    MenuFrame(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent, brix::OgreMenu* menu);
    virtual ~MenuFrame();
    MenuFrame(const MenuFrame&) = delete;
    MenuFrame& operator=(const MenuFrame&) = delete;

    // The window's width over its height; also handed to the menu.
    void setAspectRatio(float ratio);
    void setVisibilityFlags(unsigned int flags);
    // The footer: its left part, a tab, its right part. Drawn at the next update.
    void setText(const std::string& text);
    // Follows the menu being shown or hidden.
    void setVisible(bool visible);
    // True while any part of the frame is on screen.
    bool isShown() const { return mSlide > 0.0f; }
    float getSlidePosition() const { return mSlide; }
    // Once per frame with the frame time in seconds; also updates the menu.
    void update(float seconds);

private:
    void buildLogo();
    void buildFooter();

    Ogre::SceneManager* mSceneManager;
    brix::OgreMenu* mMenu;
    Ogre::SceneNode* mLogoNode;
    Ogre::ManualObject* mLogo;
    Ogre::SceneNode* mFooterNode;
    Ogre::ManualObject* mFooter;
    std::string mText;
    bool mTextChanged;
    bool mVisible;
    float mSlide;
    float mAspectRatio;
};
} // namespace game
