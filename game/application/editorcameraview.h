#pragma once
#include "game/editor/leveleditor.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace Ogre
{
class Camera;
class SceneNode;
} // namespace Ogre

namespace game
{
// The level editor's view through an OGRE camera: it places the camera's node where the editor
// asks, and gives back the node's placement and the camera's clip distances when the editor
// goes away. A camera without a node gets one for the while.
class EditorCameraView : public LevelEditor::View
{
public:
    // The editor looks at a level from a few units to a few hundred away.
    static constexpr float NEAR_CLIP = 0.5f;
    static constexpr float FAR_CLIP = 1000.0f;

    // The camera is not owned; its placement is remembered here.
    explicit EditorCameraView(Ogre::Camera* camera);
    ~EditorCameraView() override;
    EditorCameraView(const EditorCameraView&) = delete;
    EditorCameraView& operator=(const EditorCameraView&) = delete;

    void setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target) override;
    void resetView() override;

private:
    Ogre::Camera* mCamera;
    Ogre::SceneNode* mNode;
    // The node made for a camera that had none.
    Ogre::SceneNode* mOwnNode = nullptr;
    Ogre::Vector3 mPosition;
    Ogre::Quaternion mOrientation;
    float mNearClip;
    float mFarClip;
};
} // namespace game
