#include "game/world/shadowmanager.h"

#include "game/world/manualshadow.h"
#include "game/world/raycastshadow.h"

#include <OgreManualObject.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>

namespace game
{
ShadowManager::ShadowManager(Ogre::SceneManager* sceneManager, Ogre::SceneNode* node,
                             brix::Simulator* simulator, const std::string& materialName)
    : mSceneManager(sceneManager), mNode(node), mSimulator(simulator), mMaterialName(materialName)
{
    mObject = mSceneManager->createManualObject();
    mObject->setDynamic(true);
    mNode->attachObject(mObject);
}

ShadowManager::~ShadowManager()
{
    mSceneManager->destroyManualObject(mObject);
    // Owners remove their shadows before the manager goes; any left are not leaked.
    for (Shadow* shadow : mShadows)
        delete shadow;
}

ManualShadow* ShadowManager::createManualShadow()
{
    auto* shadow = new ManualShadow(this);
    mShadows.push_back(shadow);
    return shadow;
}

RayCastShadow* ShadowManager::createRayCastShadow()
{
    auto* shadow = new RayCastShadow(this);
    mShadows.push_back(shadow);
    return shadow;
}

void ShadowManager::removeShadow(Shadow* shadow)
{
    auto found = std::find(mShadows.begin(), mShadows.end(), shadow);
    if (found == mShadows.end())
        return;
    if (shadow->isVisible())
        mDirty = true;
    mShadows.erase(found);
    delete shadow;
}

void ShadowManager::setDirty()
{
    mDirty = true;
}

bool ShadowManager::update()
{
    for (Shadow* shadow : mShadows)
        if (shadow->isVisible() && shadow->update(mSimulator, mLightDirection))
            mDirty = true;
    if (!mDirty)
        return false;

    if (!mObject->getSections().empty())
        mObject->beginUpdate(0);
    else
        // The material is found in whichever group defines it (the game's data are not in
        // OGRE's default group).
        mObject->begin(mMaterialName, Ogre::RenderOperation::OT_TRIANGLE_LIST,
                       Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    for (Shadow* shadow : mShadows)
        if (shadow->isVisible())
            shadow->addGeometry(mObject);
    mObject->end();
    mDirty = false;
    return true;
}
} // namespace game
