#pragma once
#include <LinearMath/btIDebugDraw.h>

#include <string>

namespace Ogre
{
class ManualObject;
}

namespace brix
{
// Draws the physics world as coloured lines into one manual object of the game's scene. Each
// frame rebuilds the object's single section, so it holds only the latest frame's lines.
class BulletDebugRenderer : public btIDebugDraw
{
public:
    // Wireframes, constraints, constraint limits and normals.
    static constexpr int DEBUG_MODE =
        DBG_DrawWireframe | DBG_DrawConstraints | DBG_DrawConstraintLimits | DBG_DrawNormals;

    // The object stays the caller's and must outlive the renderer.
    BulletDebugRenderer(Ogre::ManualObject* object, const std::string& materialName);

    void setDefaultColors(const DefaultColors& colors) override;
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& color) override;
    void drawContactPoint(const btVector3& point, const btVector3& normal, btScalar distance, int lifeTime,
                          const btVector3& color) override;
    void reportErrorWarning(const char* text) override;
    void draw3dText(const btVector3& location, const char* text) override;
    void setDebugMode(int mode) override;
    int getDebugMode() const override;
    void flushLines() override;

    // Opens one frame of lines; the caller ends it with the manual object's end().
    void begin();
    Ogre::ManualObject* getManualObject() const { return mObject; }

private:
    Ogre::ManualObject* mObject;
    std::string mMaterialName;
};
} // namespace brix
