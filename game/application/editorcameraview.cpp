#include "game/application/editorcameraview.h"

#include <OgreCamera.h>
#include <OgreSceneNode.h>

namespace game
{
EditorCameraView::EditorCameraView(Ogre::Camera* camera)
    : mCamera(camera), mPosition(camera->getPosition()), mOrientation(camera->getOrientation()),
      mNearClip(camera->getNearClipDistance()), mFarClip(camera->getFarClipDistance())
{
}

void EditorCameraView::setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target)
{
    mCamera->setNearClipDistance(NEAR_CLIP);
    mCamera->setFarClipDistance(FAR_CLIP);
    mCamera->setPosition(position);
    mCamera->lookAt(target);
}

void EditorCameraView::resetView()
{
    mCamera->setPosition(mPosition);
    mCamera->setOrientation(mOrientation);
    mCamera->setNearClipDistance(mNearClip);
    mCamera->setFarClipDistance(mFarClip);
}
} // namespace game
