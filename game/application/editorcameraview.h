#pragma once
#include "game/editor/leveleditor.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace Ogre
{
class Camera;
}

namespace game
{
// The level editor's view through an OGRE camera: it places the camera where the editor asks
// and gives back the camera's own placement and clip distances when the editor goes away.
class EditorCameraView : public LevelEditor::View
{
public:
    // The editor looks at a level from a few units to a few hundred away.
    static constexpr float NEAR_CLIP = 0.5f;
    static constexpr float FAR_CLIP = 1000.0f;

    // The camera is not owned; its placement is remembered here.
    explicit EditorCameraView(Ogre::Camera* camera);

    void setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target) override;
    void resetView() override;

private:
    Ogre::Camera* mCamera;
    Ogre::Vector3 mPosition;
    Ogre::Quaternion mOrientation;
    float mNearClip;
    float mFarClip;
};
} // namespace game
