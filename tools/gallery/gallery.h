#pragma once
#include "assetgen/pngimage.h"

#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;

namespace Ogre
{
class Camera;
class Entity;
class RenderTexture;
class Root;
class SceneManager;
class SceneNode;
class LogManager;
} // namespace Ogre

namespace assetgen
{
// Renders every mesh of the data folder, the human in each skin and in each of its animations
// at a few times, into one contact sheet: tiles in rows, each with its name written under it.
// Needs an X display (OGRE's GL render system); the result is the same picture every run.
class Gallery
{
public:
    static const unsigned TILE = 128;
    static const unsigned COLUMNS = 10;
    static const unsigned LABEL_HEIGHT = 12;

    explicit Gallery(const std::string& rootFolder);
    ~Gallery();

    // Renders all tiles; false after a set-up failure (logged to stderr).
    bool render();
    bool save(const std::string& path) const;

private:
    struct TTile
    {
        PngImage image;
        std::string label;
    };

    bool setUp();
    void renderMesh(const std::string& mesh, const std::string& label, const std::string& material = "",
                    const std::string& animation = "", float time = 0);
    void renderSkinsPicture();
    PngImage renderTile(Ogre::Entity* entity, bool fixedHumanFrame);

    std::string mRoot;
    GLFWwindow* mWindow = nullptr;
    std::unique_ptr<Ogre::LogManager> mLogs;
    Ogre::Root* mOgre = nullptr;
    Ogre::SceneManager* mScene = nullptr;
    Ogre::Camera* mCamera = nullptr;
    Ogre::SceneNode* mCameraNode = nullptr;
    Ogre::RenderTexture* mTarget = nullptr;
    std::vector<TTile> mTiles;
};
} // namespace assetgen
