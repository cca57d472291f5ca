#include "game/application/editorcameraview.h"

#include "game/application/camera.h"

namespace game
{
void EditorCameraView::setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target)
{
    // While the camera follows the preview's player, the editor's views wait.
    if (mCamera->getPlayer() == 0)
        mCamera->setFixedView(target, position);
}

void EditorCameraView::resetView()
{
    mCamera->setPlayer(0);
}
} // namespace game
