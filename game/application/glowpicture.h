#pragma once
#include <OgreMaterial.h>
#include <OgreRenderQueue.h>
#include <OgreRenderTargetListener.h>
#include <OgreTexture.h>
#include <OgreVector.h>

#include <functional>
#include <map>
#include <memory>

namespace Ogre
{
class Camera;
class Entity;
class Rectangle2D;
class RenderTarget;
class SceneManager;
class Viewport;
} // namespace Ogre

namespace game
{
// The glow's pictures, which the cameras share: what draws in the "glow" material scheme, at a
// quarter of the window's size, each camera's view where its viewport lies on the window, and
// that picture blurred within each view at half its size. Both are drawn when the window starts
// an update, before any of its viewports, every camera's view together: the window is then drawn
// without turning to another target between its viewports, which the software renderer would
// pay for at each turn. A view draws only while shown.
//
// While a view draws, the picture watches what is queued: what draws with a technique of the
// glow scheme gives the part of that view around what glows, so that the blur and the pass that
// adds the glow onto the window cover only that part, and nothing where nothing glows. A glowing
// entity that the level hides from the view's camera is left out, so that a wall hides the glow
// of what stands behind it; the picture has no depth of the scene, so what only partly hides it
// does not. Main thread only.
class GlowPicture : public Ogre::RenderTargetListener, public Ogre::RenderQueue::RenderableListener
{
public:
    // The picture's size, as a share of the window's (in whole fours of texels wide and twos
    // high); the blurred one is half as wide and high.
    static constexpr float SCALE = 0.25f;
    // How far the glow reaches beyond what glows, in texels of the pictures: the blur's reach
    // and the filtering of its reads, with a texel of the picture's own rounding.
    static constexpr float REACH = 6.0f;
    static const char* const SCHEME;
    static const char* const BLUR_MATERIAL;
    // The filters' vertex program's part of the view to cover (-1 to 1: left, bottom, right,
    // top), and the whole view.
    static const char* const AREA_CONSTANT;
    static const Ogre::Vector4 WHOLE_VIEW;

    // Neither is owned; both outlive the picture.
    GlowPicture(Ogre::RenderTarget* window, Ogre::SceneManager* sceneManager);
    ~GlowPicture() override;
    GlowPicture(const GlowPicture&) = delete;
    GlowPicture& operator=(const GlowPicture&) = delete;

    // The view of a camera (its index, its own camera) where its viewport lies on the window
    // (fractions of the window), drawing what carries a flag of visibilityMask; it replaces that
    // index's view and starts hidden. The camera outlives its view.
    void addView(int index, Ogre::Camera* camera, float left, float top, float width, float height,
                 unsigned int visibilityMask);
    void removeView(int index);
    void setViewShown(int index, bool shown);

    // Readies a camera's pass that adds its view's glow (see "filter/glowcombine") just before it
    // draws: the blurred picture, where the view lies in it, and the part of the view to cover,
    // which is nothing while nothing glows there or the view is hidden.
    void setUpAddPass(int index, Ogre::Pass& pass) const;
    // Whether what the level draws stands between two points; without it nothing is hidden.
    typedef std::function<bool(const Ogre::Vector3& from, const Ogre::Vector3& to)> THiddenTest;
    void setHiddenTest(const THiddenTest& hidden) { mHidden = hidden; }

    // The window's update draws the pictures first; the source's viewports set what is watched.
    void preRenderTargetUpdate(const Ogre::RenderTargetEvent& event) override;
    void preViewportUpdate(const Ogre::RenderTargetViewportEvent& event) override;
    void postViewportUpdate(const Ogre::RenderTargetViewportEvent& event) override;
    bool renderableQueued(Ogre::Renderable* renderable, Ogre::uint8 groupId, Ogre::ushort priority,
                          Ogre::Technique** technique, Ogre::RenderQueue* queue) override;

private:
    struct TView
    {
        Ogre::Viewport* viewport = nullptr;
        float left = 0.0f, top = 0.0f, width = 0.0f, height = 0.0f;
        // The part of the view that what glows covers (-1 to 1: left, bottom, right, top); left
        // above right while nothing.
        Ogre::Vector4 bounds;
        // The blur's material, for this view alone.
        Ogre::MaterialPtr blur;
    };

    const TView* findShown(int index) const;
    // Of a shown view, as the window's update that is under way drew it: the part of the view
    // (-1 to 1: left, bottom, right, top) around what glows with the glow's reach; all zero
    // while nothing glows there, or for a view that is hidden or not there.
    Ogre::Vector4 getGlowArea(int index) const;
    // Where the view lies in the pictures, as texture coordinates: left, top, width, height.
    Ogre::Vector4 getPictureRect(int index) const;
    // The texture coordinates a read of the view in the blurred picture stays within (left,
    // top, right, bottom): half a texel inside its edges, so that no read takes in the next view.
    Ogre::Vector4 getPictureBounds(int index) const;
    static Ogre::Vector4 getBoundsIn(const TView& view, const Ogre::Texture& picture);
    // Whether the level hides the whole of the entity from the camera drawing now: its centre
    // and the corners of its box drawn in a little.
    bool isHidden(const Ogre::Entity& entity);
    // The view's glow area in the pictures' own -1 to 1, with a margin: what the blur covers.
    Ogre::Vector4 getBlurArea(const TView& view) const;
    void blur();

    Ogre::RenderTarget* mWindow;
    Ogre::SceneManager* mSceneManager;
    Ogre::MaterialPtr mBlurMaterial;
    Ogre::TexturePtr mSource;
    Ogre::TexturePtr mBlurred;
    // The blurred picture is drawn by hand, through a viewport whose camera sees nothing.
    Ogre::Camera* mBlurCamera = nullptr;
    Ogre::Viewport* mBlurViewport = nullptr;
    std::unique_ptr<Ogre::Rectangle2D> mQuad;
    std::map<int, TView> mViews;
    // The view drawing now, null between views, and what it found hidden or not.
    TView* mDrawing = nullptr;
    std::map<const Ogre::Entity*, bool> mHiddenEntities;
    THiddenTest mHidden;
};
} // namespace game
