#include "game/application/glowpicture.h"

#include <OgreCamera.h>
#include <OgreEntity.h>
#include <OgreGpuProgramParams.h>
#include <OgreHardwareVertexBuffer.h>
#include <OgreHardwarePixelBuffer.h>
#include <OgreException.h>
#include <OgreMaterialManager.h>
#include <OgrePass.h>
#include <OgreRectangle2D.h>
#include <OgreRenderTexture.h>
#include <OgreSceneManager.h>
#include <OgreStaticGeometry.h>
#include <OgreSubEntity.h>
#include <OgreTechnique.h>
#include <OgreTextureUnitState.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace game
{
const char* const GlowPicture::SCHEME = "glow";
const char* const GlowPicture::BLUR_MATERIAL = "filter/glowblur";
const char* const GlowPicture::AREA_CONSTANT = "area";
const Ogre::Vector4 GlowPicture::WHOLE_VIEW(-1.0f, -1.0f, 1.0f, 1.0f);

namespace
{
const char* const RESOURCE_GROUP = "default";
const char* const VIEW_CONSTANT = "view";
const char* const BOUNDS_CONSTANT = "bounds";
const Ogre::Vector4 NOTHING_SEEN(1.0f, 1.0f, -1.0f, -1.0f);
// The blurred picture is half the size of the other: the glow's addition reads one of its texels
// beyond what it covers, and the blur rounds to its texels, two of the source's each.
const float BLUR_MARGIN = 4.0f;

// The world box of a batch of the level's blocks: what their vertices span, read once (copied
// out of the buffer, which is the graphics card's) and kept with the batch, which goes with the
// level's geometry.
Ogre::AxisAlignedBox boundsOf(Ogre::StaticGeometry::GeometryBucket& blocks)
{
    const char* const KEY = "korvane/bounds";
    const Ogre::Any& kept = blocks.getUserObjectBindings().getUserAny(KEY);
    if (kept.has_value())
        return Ogre::any_cast<Ogre::AxisAlignedBox>(kept);
    Ogre::AxisAlignedBox box;
    const Ogre::VertexData& vertices = *blocks.getVertexData();
    const Ogre::VertexElement* position =
        vertices.vertexDeclaration->findElementBySemantic(Ogre::VES_POSITION);
    if (position && position->getType() == Ogre::VET_FLOAT3 &&
        vertices.vertexBufferBinding->isBufferBound(position->getSource()))
    {
        const Ogre::HardwareVertexBufferSharedPtr& buffer =
            vertices.vertexBufferBinding->getBuffer(position->getSource());
        const size_t stride = buffer->getVertexSize();
        if (vertices.vertexStart + vertices.vertexCount <= buffer->getNumVertices() &&
            position->getOffset() + position->getSize() <= stride)
        {
            std::vector<unsigned char> data(vertices.vertexCount * stride);
            buffer->readData(vertices.vertexStart * stride, data.size(), data.data());
            for (size_t at = position->getOffset(); at < data.size(); at += stride)
            {
                float p[3];
                std::memcpy(p, &data[at], sizeof(p));
                box.merge(Ogre::Vector3(p[0], p[1], p[2]));
            }
            Ogre::Matrix4 world;
            blocks.getWorldTransforms(&world);
            box.transform(world);
        }
    }
    // Unread, the box stands for the whole view.
    if (box.isNull())
        box.setInfinite();
    blocks.getUserObjectBindings().setUserAny(KEY, Ogre::Any(box));
    return box;
}

// The part of a view (-1 to 1: left, bottom, right, top) that bounds cover widened by reach
// texels of a picture that many texels wide and high; all zero when nothing is left.
Ogre::Vector4 widen(const Ogre::Vector4& bounds, float reach, float width, float height)
{
    if (bounds.x > bounds.z || bounds.y > bounds.w)
        return Ogre::Vector4::ZERO;
    const float x = 2.0f * reach / width;
    const float y = 2.0f * reach / height;
    const Ogre::Vector4 area(std::max(bounds.x - x, -1.0f), std::max(bounds.y - y, -1.0f),
                             std::min(bounds.z + x, 1.0f), std::min(bounds.w + y, 1.0f));
    return area.x < area.z && area.y < area.w ? area : Ogre::Vector4::ZERO;
}
} // namespace

GlowPicture::GlowPicture(Ogre::RenderTarget* window, Ogre::SceneManager* sceneManager)
    : mWindow(window), mSceneManager(sceneManager),
      mBlurMaterial(Ogre::MaterialManager::getSingleton().getByName(
          BLUR_MATERIAL, Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME)),
      mQuad(new Ogre::Rectangle2D(true))
{
    if (!mBlurMaterial)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, std::string("No material ") + BLUR_MATERIAL,
                    "GlowPicture");
    // Whole texels of both pictures on either side of the split between two views.
    const unsigned int width = std::max(4u, static_cast<unsigned int>(window->getWidth() * SCALE) / 4 * 4);
    const unsigned int height = std::max(2u, static_cast<unsigned int>(window->getHeight() * SCALE) / 2 * 2);
    Ogre::TextureManager& textures = Ogre::TextureManager::getSingleton();
    mSource = textures.createManual("glowpicture/source", RESOURCE_GROUP, Ogre::TEX_TYPE_2D, width, height, 0,
                                    Ogre::PF_R8G8B8, Ogre::TU_RENDERTARGET);
    mBlurred = textures.createManual("glowpicture/blurred", RESOURCE_GROUP, Ogre::TEX_TYPE_2D, width / 2,
                                     height / 2, 0, Ogre::PF_R8G8B8, Ogre::TU_RENDERTARGET);
    Ogre::RenderTarget* source = mSource->getBuffer()->getRenderTarget();
    source->setAutoUpdated(false);
    source->addListener(this);
    Ogre::RenderTarget* blurred = mBlurred->getBuffer()->getRenderTarget();
    blurred->setAutoUpdated(false);
    mBlurCamera = sceneManager->createCamera("glowpicture");
    mBlurViewport = blurred->addViewport(mBlurCamera);
    mBlurViewport->setClearEveryFrame(false);
    mBlurViewport->setOverlaysEnabled(false);
    mBlurViewport->setAutoUpdated(false);
    mQuad->setCorners(-1.0f, 1.0f, 1.0f, -1.0f);
    mWindow->addListener(this);
}

GlowPicture::~GlowPicture()
{
    mWindow->removeListener(this);
    while (!mViews.empty())
        removeView(mViews.begin()->first);
    mSource->getBuffer()->getRenderTarget()->removeListener(this);
    mBlurred->getBuffer()->getRenderTarget()->removeAllViewports();
    mSceneManager->destroyCamera(mBlurCamera);
    Ogre::TextureManager::getSingleton().remove(mSource);
    Ogre::TextureManager::getSingleton().remove(mBlurred);
    mBlurMaterial.reset();
}

void GlowPicture::addView(int index, Ogre::Camera* camera, float left, float top, float width, float height,
                          unsigned int visibilityMask)
{
    removeView(index);
    TView& view = mViews[index];
    view.viewport =
        mSource->getBuffer()->getRenderTarget()->addViewport(camera, index, left, top, width, height);
    view.viewport->setMaterialScheme(SCHEME);
    view.viewport->setVisibilityMask(visibilityMask);
    view.viewport->setBackgroundColour(Ogre::ColourValue(0.0f, 0.0f, 0.0f, 0.0f));
    view.viewport->setOverlaysEnabled(false);
    view.viewport->setSkiesEnabled(false);
    view.viewport->setShadowsEnabled(false);
    view.viewport->setAutoUpdated(false);
    view.left = left;
    view.top = top;
    view.width = width;
    view.height = height;
    view.bounds = NOTHING_SEEN;
    view.blur = mBlurMaterial->clone(std::string(BLUR_MATERIAL) + "/" + std::to_string(index));
    view.blur->load();
    Ogre::Pass* pass = view.blur->getTechnique(0)->getPass(0);
    pass->getTextureUnitState(0)->setTexture(mSource);
    pass->getFragmentProgramParameters()->setNamedConstant(BOUNDS_CONSTANT, getBoundsIn(view, *mSource));
}

void GlowPicture::removeView(int index)
{
    auto view = mViews.find(index);
    if (view == mViews.end())
        return;
    if (mDrawing == &view->second)
        mDrawing = nullptr;
    mSource->getBuffer()->getRenderTarget()->removeViewport(index);
    Ogre::MaterialManager::getSingleton().remove(view->second.blur);
    mViews.erase(view);
}

void GlowPicture::setViewShown(int index, bool shown)
{
    auto view = mViews.find(index);
    if (view == mViews.end() || view->second.viewport->isAutoUpdated() == shown)
        return;
    view->second.viewport->setAutoUpdated(shown);
    view->second.bounds = NOTHING_SEEN;
}

const GlowPicture::TView* GlowPicture::findShown(int index) const
{
    auto view = mViews.find(index);
    return view != mViews.end() && view->second.viewport->isAutoUpdated() ? &view->second : nullptr;
}

void GlowPicture::setUpAddPass(int index, Ogre::Pass& pass) const
{
    Ogre::TextureUnitState& picture = *pass.getTextureUnitState(0);
    if (picture._getTexturePtr() != mBlurred)
        picture.setTexture(mBlurred);
    pass.getVertexProgramParameters()->setNamedConstant(AREA_CONSTANT, getGlowArea(index));
    const Ogre::GpuProgramParametersSharedPtr& parameters = pass.getFragmentProgramParameters();
    parameters->setNamedConstant(VIEW_CONSTANT, getPictureRect(index));
    parameters->setNamedConstant(BOUNDS_CONSTANT, getPictureBounds(index));
}

Ogre::Vector4 GlowPicture::getGlowArea(int index) const
{
    const TView* view = findShown(index);
    return view ? widen(view->bounds, REACH, static_cast<float>(view->viewport->getActualWidth()),
                        static_cast<float>(view->viewport->getActualHeight()))
                : Ogre::Vector4::ZERO;
}

Ogre::Vector4 GlowPicture::getPictureRect(int index) const
{
    auto view = mViews.find(index);
    return view != mViews.end()
               ? Ogre::Vector4(view->second.left, view->second.top, view->second.width, view->second.height)
               : Ogre::Vector4::ZERO;
}

Ogre::Vector4 GlowPicture::getPictureBounds(int index) const
{
    auto view = mViews.find(index);
    return view != mViews.end() ? getBoundsIn(view->second, *mBlurred) : Ogre::Vector4::ZERO;
}

Ogre::Vector4 GlowPicture::getBoundsIn(const TView& view, const Ogre::Texture& picture)
{
    const float x = 0.5f / static_cast<float>(picture.getWidth());
    const float y = 0.5f / static_cast<float>(picture.getHeight());
    return Ogre::Vector4(view.left + x, view.top + y, view.left + view.width - x, view.top + view.height - y);
}

Ogre::Vector4 GlowPicture::getBlurArea(const TView& view) const
{
    const Ogre::Vector4 area =
        widen(view.bounds, REACH + BLUR_MARGIN, static_cast<float>(view.viewport->getActualWidth()),
              static_cast<float>(view.viewport->getActualHeight()));
    if (area == Ogre::Vector4::ZERO)
        return area;
    // From the view's -1 to 1 to the picture's: the view's top lies view.top down from the top.
    return Ogre::Vector4(-1.0f + 2.0f * view.left + (area.x + 1.0f) * view.width,
                         1.0f - 2.0f * view.top - (1.0f - area.y) * view.height,
                         -1.0f + 2.0f * view.left + (area.z + 1.0f) * view.width,
                         1.0f - 2.0f * view.top - (1.0f - area.w) * view.height);
}

void GlowPicture::preRenderTargetUpdate(const Ogre::RenderTargetEvent& event)
{
    if (event.source != mWindow)
        return;
    bool shown = false;
    for (const auto& view : mViews)
        shown = shown || view.second.viewport->isAutoUpdated();
    if (!shown)
        return;
    mSource->getBuffer()->getRenderTarget()->update(false);
    blur();
}

void GlowPicture::preViewportUpdate(const Ogre::RenderTargetViewportEvent& event)
{
    for (auto& view : mViews)
        if (view.second.viewport == event.source)
        {
            mDrawing = &view.second;
            mDrawing->bounds = NOTHING_SEEN;
            mHiddenEntities.clear();
            mSceneManager->getRenderQueue()->setRenderableListener(this);
        }
}

void GlowPicture::postViewportUpdate(const Ogre::RenderTargetViewportEvent&)
{
    if (mSceneManager->getRenderQueue()->getRenderableListener() == this)
        mSceneManager->getRenderQueue()->setRenderableListener(nullptr);
    mDrawing = nullptr;
}

bool GlowPicture::renderableQueued(Ogre::Renderable* renderable, Ogre::uint8, Ogre::ushort,
                                   Ogre::Technique** technique, Ogre::RenderQueue*)
{
    if (!mDrawing || (*technique)->getSchemeName() != SCHEME)
        return true;
    // An entity's parts by the entity's box, the level's blocks by their batch's; anything else
    // by the whole view.
    Ogre::AxisAlignedBox box;
    if (auto* part = dynamic_cast<Ogre::SubEntity*>(renderable))
    {
        if (isHidden(*part->getParent()))
            return false;
        box = part->getParent()->getWorldBoundingBox(true);
    }
    else if (auto* blocks = dynamic_cast<Ogre::StaticGeometry::GeometryBucket*>(renderable))
        box = boundsOf(*blocks);
    else
        box.setInfinite();
    Ogre::Vector4& bounds = mDrawing->bounds;
    if (box.isNull())
        return true;
    if (box.isInfinite())
    {
        bounds = WHOLE_VIEW;
        return true;
    }
    const Ogre::Camera& camera = *mDrawing->viewport->getCamera();
    const Ogre::Matrix4 view = camera.getViewMatrix();
    const Ogre::Matrix4& projection = camera.getProjectionMatrix();
    for (const Ogre::Vector3& corner : box.getAllCorners())
    {
        const Ogre::Vector3 seen = view * corner;
        if (seen.z > -camera.getNearClipDistance())
        {
            // Beside or behind the camera: its picture can reach anywhere.
            bounds = WHOLE_VIEW;
            return true;
        }
        const Ogre::Vector3 onScreen = projection * seen;
        bounds.x = std::min(bounds.x, onScreen.x);
        bounds.y = std::min(bounds.y, onScreen.y);
        bounds.z = std::max(bounds.z, onScreen.x);
        bounds.w = std::max(bounds.w, onScreen.y);
    }
    return true;
}

bool GlowPicture::isHidden(const Ogre::Entity& entity)
{
    if (!mHidden)
        return false;
    auto known = mHiddenEntities.find(&entity);
    if (known != mHiddenEntities.end())
        return known->second;
    const Ogre::AxisAlignedBox& box = entity.getWorldBoundingBox(true);
    bool hidden = box.isFinite();
    if (hidden)
    {
        const Ogre::Vector3 from = mDrawing->viewport->getCamera()->getDerivedPosition();
        const Ogre::Vector3 centre = box.getCenter();
        hidden = mHidden(from, centre);
        for (const Ogre::Vector3& corner : box.getAllCorners())
            if (hidden)
                hidden = mHidden(from, centre + 0.9f * (corner - centre));
    }
    mHiddenEntities[&entity] = hidden;
    return hidden;
}

void GlowPicture::blur()
{
    Ogre::RenderOperation operation;
    mQuad->getRenderOperation(operation);
    for (auto& view : mViews)
    {
        if (!view.second.viewport->isAutoUpdated())
            continue;
        const Ogre::Vector4 area = getBlurArea(view.second);
        if (area == Ogre::Vector4::ZERO)
            continue;
        Ogre::Pass* pass = view.second.blur->getTechnique(0)->getPass(0);
        pass->getVertexProgramParameters()->setNamedConstant(AREA_CONSTANT, area);
        mSceneManager->manualRender(&operation, pass, mBlurViewport, Ogre::Affine3::IDENTITY,
                                    Ogre::Affine3::IDENTITY, Ogre::Matrix4::IDENTITY, true);
    }
}
} // namespace game
