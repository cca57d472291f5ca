#include "engine/presentation/ogreloadscreen.h"

#include "toolkit/log.h"

#include <OgreCamera.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgrePass.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTechnique.h>
#include <OgreTextureUnitState.h>

namespace brix
{
namespace
{
const char* const LOGO_MATERIAL = "logo";
const char* const LOGO_GROUP = "loader";
const char* const LOGO_OBJECT = "loader";
} // namespace

OgreLoadScreen::OgreLoadScreen(Ogre::SceneManager* sceneManager, Ogre::RenderWindow* window, float logoSize,
                               const Ogre::ColourValue& background)
    : mView(sceneManager, window), mLogoSize(logoSize), mBackground(background), mLogo(nullptr)
{
}

OgreLoadScreen::~OgreLoadScreen()
{
    hide(0);
}

bool OgreLoadScreen::show()
{
    if (mView.isOpen())
        return true;
    Ogre::Camera* camera = mView.open(mBackground);
    const Ogre::RenderWindow* window = mView.getRenderWindow();
    camera->setProjectionType(Ogre::PT_ORTHOGRAPHIC);
    camera->setOrthoWindow(2.0f, 2.0f * window->getHeight() / window->getWidth());
    camera->setNearClipDistance(1);
    camera->setFarClipDistance(100);
    camera->getParentSceneNode()->setPosition(0, 0, 10);
    camera->getParentSceneNode()->lookAt(Ogre::Vector3::ZERO, Ogre::Node::TS_WORLD);

    const float height = mLogoSize, width = mLogoSize * getLogoAspectRatio();
    Ogre::SceneManager* scene = mView.getSceneManager();
    mLogo = scene->createManualObject(LOGO_OBJECT);
    mLogo->begin(LOGO_MATERIAL, Ogre::RenderOperation::OT_TRIANGLE_LIST, LOGO_GROUP);
    mLogo->position(-width / 2, height / 2, 0);
    mLogo->textureCoord(0, 0);
    mLogo->position(-width / 2, -height / 2, 0);
    mLogo->textureCoord(0, 1);
    mLogo->position(width / 2, -height / 2, 0);
    mLogo->textureCoord(1, 1);
    mLogo->position(width / 2, height / 2, 0);
    mLogo->textureCoord(1, 0);
    mLogo->quad(0, 1, 2, 3);
    mLogo->end();
    scene->getRootSceneNode()->attachObject(mLogo);

    mView.render();
    mView.markShown();
    return true;
}

float OgreLoadScreen::getLogoAspectRatio() const
{
    Ogre::MaterialPtr material = Ogre::MaterialManager::getSingleton().getByName(LOGO_MATERIAL, LOGO_GROUP);
    if (!material)
    {
        Log::error("Load screen material '%s' not found", LOGO_MATERIAL);
        return 1.0f;
    }
    material->load();
    const Ogre::Technique* technique = material->getBestTechnique();
    if (!technique || technique->getNumPasses() == 0 || technique->getPass(0)->getNumTextureUnitStates() == 0)
        return 1.0f;
    const Ogre::TexturePtr& texture = technique->getPass(0)->getTextureUnitState(0)->_getTexturePtr();
    if (!texture || texture->getHeight() == 0)
        return 1.0f;
    return static_cast<float>(texture->getWidth()) / texture->getHeight();
}

void OgreLoadScreen::hide(float minimumMs)
{
    mView.waitShown(minimumMs);
    if (mLogo)
    {
        mLogo->detachFromParent();
        mView.getSceneManager()->destroyManualObject(mLogo);
        mLogo = nullptr;
    }
    mView.close();
}
} // namespace brix
