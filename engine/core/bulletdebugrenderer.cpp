#include "engine/core/bulletdebugrenderer.h"
#include "toolkit/log.h"

#include <OgreManualObject.h>
#include <OgreResourceGroupManager.h>

namespace brix
{
BulletDebugRenderer::BulletDebugRenderer(Ogre::ManualObject* object, const std::string& materialName)
    : mObject(object), mMaterialName(materialName)
{
}

void BulletDebugRenderer::setDefaultColors(const DefaultColors& colors) {}

void BulletDebugRenderer::drawLine(const btVector3& from, const btVector3& to, const btVector3& color)
{
    const Ogre::ColourValue colour(color.x(), color.y(), color.z(), 1.0f);
    mObject->position(from.x(), from.y(), from.z());
    mObject->colour(colour);
    mObject->position(to.x(), to.y(), to.z());
    mObject->colour(colour);
}

void BulletDebugRenderer::drawContactPoint(const btVector3& point, const btVector3& normal, btScalar distance,
                                           int lifeTime, const btVector3& color)
{
}

void BulletDebugRenderer::reportErrorWarning(const char* text)
{
    Log::info("Bullet warning: %s", text);
}

void BulletDebugRenderer::draw3dText(const btVector3& location, const char* text) {}

void BulletDebugRenderer::setDebugMode(int mode) {}

int BulletDebugRenderer::getDebugMode() const
{
    return DEBUG_MODE;
}

void BulletDebugRenderer::flushLines() {}

void BulletDebugRenderer::begin()
{
    if (mObject->getSections().empty())
    {
        // The material is looked for in every group: the game's own live in its data group.
        mObject->setDynamic(true);
        mObject->begin(mMaterialName, Ogre::RenderOperation::OT_LINE_LIST, Ogre::RGN_AUTODETECT);
    }
    else
        mObject->beginUpdate(0);
}
} // namespace brix
