#include "game/application/editorcameraview.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace game
{
EditorCameraView::EditorCameraView(Ogre::Camera* camera)
    : mCamera(camera), mNode(camera->getParentSceneNode()), mNearClip(camera->getNearClipDistance()),
      mFarClip(camera->getFarClipDistance())
{
    if (!mNode)
    {
        mNode = mOwnNode = camera->getSceneManager()->getRootSceneNode()->createChildSceneNode();
        mNode->attachObject(camera);
    }
    mPosition = mNode->getPosition();
    mOrientation = mNode->getOrientation();
}

EditorCameraView::~EditorCameraView()
{
    if (!mOwnNode)
        return;
    mOwnNode->detachObject(mCamera);
    mCamera->getSceneManager()->destroySceneNode(mOwnNode);
}

void EditorCameraView::setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target)
{
    mCamera->setNearClipDistance(NEAR_CLIP);
    mCamera->setFarClipDistance(FAR_CLIP);
    mNode->setPosition(position);
    mNode->lookAt(target, Ogre::Node::TS_WORLD);
}

void EditorCameraView::resetView()
{
    mNode->setPosition(mPosition);
    mNode->setOrientation(mOrientation);
    mCamera->setNearClipDistance(mNearClip);
    mCamera->setFarClipDistance(mFarClip);
}
} // namespace game
