#include "game/application/menuframe.h"

#include "engine/core/ogrescene.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <vector>

namespace game
{
const char* const MenuFrame::MAIN_PAGE = "main";
const char* const MenuFrame::FONT_NAME = "menufont";
const char* const MenuFrame::LOGO_MATERIAL = "menulogo";

namespace
{
// Where in the font's texture the builder finds solid white and the edges of a line.
const Ogre::Vector2 SOLID_UV(0.03125f, 0.03125f);
const Ogre::Vector2 EDGE_UV1(0.015f, 0.03125f);
const Ogre::Vector2 EDGE_UV2(0.0475f, 0.03125f);
const Ogre::ColourValue FOOTER_COLOUR(1.0f, 1.0f, 1.0f, 0.35f);

// Drawn in normalised screen coordinates, after everything else, never culled.
void prepareScreenObject(Ogre::ManualObject* object, Ogre::SceneNode* node)
{
    object->setRenderQueueGroup(MenuFrame::RENDER_QUEUE_GROUP);
    object->setUseIdentityView(true);
    object->setUseIdentityProjection(true);
    node->setVisible(false, true);
}

void endScreenObject(brix::OgreObjectBuilder& builder, Ogre::ManualObject* object)
{
    builder.end();
    Ogre::AxisAlignedBox box;
    box.setInfinite();
    object->setBoundingBox(box);
}
} // namespace

MenuFrame::MenuFrame(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent, brix::OgreMenu* menu)
    : mSceneManager(sceneManager), mMenu(menu), mLogoNode(nullptr), mLogo(nullptr), mFooterNode(nullptr),
      mFooter(nullptr), mTextChanged(false), mVisible(false), mSlide(0.0f), mAspectRatio(1.0f)
{
    brix::OgreScene scene(mSceneManager, 0);
    scene.createSceneNode(mLogoNode, mLogo, parent);
    scene.createSceneNode(mFooterNode, mFooter, parent);
    prepareScreenObject(mLogo, mLogoNode);
    prepareScreenObject(mFooter, mFooterNode);
    buildLogo();
}

MenuFrame::~MenuFrame()
{
    brix::OgreScene scene(mSceneManager, 0);
    scene.destroySceneNode(mFooterNode, mFooter);
    scene.destroySceneNode(mLogoNode, mLogo);
}

void MenuFrame::setAspectRatio(float ratio)
{
    mAspectRatio = ratio;
    mMenu->setAspectRatio(ratio);
    buildLogo();
}

void MenuFrame::setVisibilityFlags(unsigned int flags)
{
    mLogo->setVisibilityFlags(flags);
    mFooter->setVisibilityFlags(flags);
}

void MenuFrame::setText(const std::string& text)
{
    mText = text;
    mTextChanged = true;
}

void MenuFrame::setVisible(bool visible)
{
    mVisible = visible;
}

void MenuFrame::update(float seconds)
{
    brix::OgreMenuPage* page = mMenu->getCurrentPage();
    const bool onMainPage = page && page == mMenu->getPage(MAIN_PAGE);
    if (mVisible && onMainPage)
    {
        if (mSlide < 1.0f)
        {
            mSlide = std::min(mSlide + SLIDE_SPEED * seconds, 1.0f);
            mLogoNode->setVisible(true, true);
            mFooterNode->setVisible(true, true);
        }
    }
    else if (mSlide > 0.0f)
    {
        mSlide -= SLIDE_SPEED * seconds;
        if (mSlide < 0.0f)
        {
            mSlide = 0.0f;
            mLogoNode->setVisible(false, true);
            mFooterNode->setVisible(false, true);
        }
    }

    const float out = (1.0f - mSlide) * (1.0f - mSlide);
    mLogoNode->setPosition(0.0f, LOGO_Y + LOGO_SLIDE * out, 0.0f);
    mFooterNode->setPosition(0.0f, FOOTER_Y + FOOTER_SLIDE * out, 0.0f);
    mMenu->getSceneNode()->setPosition(0.0f, onMainPage ? MAIN_PAGE_MENU_Y : 0.0f, 0.0f);

    if (mTextChanged)
    {
        buildFooter();
        mTextChanged = false;
    }
    mMenu->update(seconds);
}

void MenuFrame::buildLogo()
{
    // The quad keeps the logo texture's 8:3 shape whatever the window's shape.
    brix::OgreObjectBuilder builder(mLogo, FONT_NAME, SOLID_UV, EDGE_UV1, EDGE_UV2);
    builder.begin(LOGO_MATERIAL, false);
    const float halfHeight = LOGO_HALF_HEIGHT * mAspectRatio;
    builder.addImage(Ogre::Vector3(-LOGO_HALF_WIDTH, halfHeight, 0.0f),
                     Ogre::Vector3(LOGO_HALF_WIDTH, -halfHeight, 0.0f), Ogre::Vector2(0.0f, 0.0f),
                     Ogre::Vector2(1.0f, 1.0f), Ogre::ColourValue::White);
    endScreenObject(builder, mLogo);
}

void MenuFrame::buildFooter()
{
    brix::OgreObjectBuilder builder(mFooter, FONT_NAME, SOLID_UV, EDGE_UV1, EDGE_UV2);
    builder.setAspectRatio(mAspectRatio);
    builder.begin("", true);
    std::vector<std::string> parts;
    size_t start = 0;
    while (!mText.empty() && start <= mText.size())
    {
        size_t tab = mText.find('\t', start);
        parts.push_back(mText.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    if (parts.size() >= 1)
        builder.addText(Ogre::Vector3(-FOOTER_X, 0.0f, 0.0f), parts[0], FOOTER_TEXT_SIZE, FOOTER_COLOUR,
                        brix::OgreObjectBuilder::ALIGN_LEFT, brix::OgreObjectBuilder::ALIGN_LEFT, 0.0f);
    if (parts.size() >= 2)
        builder.addText(Ogre::Vector3(FOOTER_X, 0.0f, 0.0f), parts[1], FOOTER_TEXT_SIZE, FOOTER_COLOUR,
                        brix::OgreObjectBuilder::ALIGN_RIGHT, brix::OgreObjectBuilder::ALIGN_LEFT, 0.0f);
    endScreenObject(builder, mFooter);
}
} // namespace game
