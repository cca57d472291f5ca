#pragma once
#include "game/editor/leveleditor.h"

namespace game
{
class Camera;

// The level editor's view through the first local player's camera: the editor's fixed views
// become the camera's unless it follows a player (the play preview's), and going away returns
// the camera to its default view.
class EditorCameraView : public LevelEditor::View
{
public:
    // The camera is not owned.
    explicit EditorCameraView(Camera* camera) : mCamera(camera) {}
    EditorCameraView(const EditorCameraView&) = delete;
    EditorCameraView& operator=(const EditorCameraView&) = delete;

    void setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target) override;
    void resetView() override;

private:
    Camera* mCamera;
};
} // namespace game
