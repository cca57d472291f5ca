#include "engine/presentation/decalmanager.h"
#include "engine/presentation/ogreparticlepool.h"
#include "support/ogre/ogrewindow.h"
#include "support/ogre/referenceimage.h"
#include "support/tempdir.h"

#include <OgreCamera.h>
#include <OgreManualObject.h>
#include <OgreParticleSystem.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
const char* const REFERENCE = "tests/data/screenshots/decals.png";

// A flat unlit rectangle from corner to corner, spanned by two edge vectors.
void addSurface(Ogre::SceneManager& scene, const Ogre::Vector3& corner, const Ogre::Vector3& across,
                const Ogre::Vector3& up, const Ogre::ColourValue& colour)
{
    Ogre::ManualObject* surface = scene.createManualObject();
    surface->begin("BaseWhiteNoLighting", Ogre::RenderOperation::OT_TRIANGLE_LIST);
    const Ogre::Vector3 corners[4] = {corner, corner + across, corner + across + up, corner + up};
    for (int i = 0; i < 4; ++i)
    {
        surface->position(corners[i]);
        surface->colour(colour * (i < 2 ? 0.8f : 1.0f));
    }
    surface->quad(0, 1, 2, 3);
    surface->end();
    scene.getRootSceneNode()->attachObject(surface);
}
} // namespace

// The shipped decals on a wall and a floor with smoke, sparks and fire lent by the pool, drawn by
// RenderSystem_GL and compared with the reviewed image. Set KORVANE_UPDATE_REFERENCE=1 to write a
// new reference after a reviewed change.
TEST(DecalScene, DrawsDecalsAndPooledEmittersAsReviewed)
{
    test::TempDir dir;
    test::OgreWindow ogre(640, 480, {"Codec_STBI", "Plugin_ParticleFX"});
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation("data", "FileSystem", "default", true, true);
    groups.addResourceLocation(test::sourcePath("tests/data/particles"), "FileSystem", "particles");
    groups.initialiseAllResourceGroups();

    Ogre::SceneManager& scene = ogre.sceneManager();
    ogre.renderWindow().getViewport(0)->setBackgroundColour(Ogre::ColourValue(0.1f, 0.12f, 0.2f));
    ogre.camera().getParentSceneNode()->setPosition(0, 0.5f, 7);
    addSurface(scene, Ogre::Vector3(-5, -1.5f, 0), Ogre::Vector3(10, 0, 0), Ogre::Vector3(0, 5, 0),
               Ogre::ColourValue(0.55f, 0.55f, 0.5f));
    addSurface(scene, Ogre::Vector3(-5, -1.5f, 4), Ogre::Vector3(10, 0, 0), Ogre::Vector3(0, 0, -4),
               Ogre::ColourValue(0.35f, 0.3f, 0.25f));

    std::srand(1);
    brix::DecalManager decals(&scene, Ogre::Vector3::ZERO);
    decals.initialize();
    // A decal's x axis points into the surface it lies on: -z into the wall, -y into the floor.
    const Ogre::Quaternion wall(Ogre::Degree(90), Ogre::Vector3::UNIT_Y),
        floor(Ogre::Degree(-90), Ogre::Vector3::UNIT_Z);
    decals.createDecal("scorch", Ogre::Vector3(-2.2f, 0.6f, 0), wall);
    for (int i = 0; i < 6; ++i)
        decals.createDecal("bullethole", Ogre::Vector3(0.4f + 0.35f * i, 1.4f - 0.2f * (i % 3), 0), wall);
    decals.createDecal("bloodstain", Ogre::Vector3(2.4f, -0.6f, 0), wall);
    decals.createDecal("bloodstain", Ogre::Vector3(1.2f, -1.5f, 1.2f), floor);
    decals.createDecal("scorch", Ogre::Vector3(-2.2f, -1.5f, 1), floor);
    decals.update(1.0f);
    decals.update(0.0f);

    brix::OgreParticlePool pool(&scene, true);
    pool.createEmitter("smoke", Ogre::Vector3(-2.2f, -1.4f, 1));
    pool.createEmitter("smoke/sparks", Ogre::Vector3(-2.2f, -1.4f, 1));
    pool.createEmitter("fire", Ogre::Vector3(1.2f, -1.4f, 1.2f));
    // Wound forward by fixed steps and then frozen, so the frame does not depend on the clock.
    // The decals and the pooled systems hang at the root node, so their transparent parts are
    // equally deep: a later queue draws the particles after the decals in every run.
    for (const char* name : {"smoke", "fire"})
    {
        scene.getParticleSystem(name)->fastForward(1.5f, 0.05f);
        scene.getParticleSystem(name)->setRenderQueueGroup(Ogre::RENDER_QUEUE_8);
    }
    pool.setSpeedFactor(0);

    ogre.renderFrame();
    ogre.renderFrame();
    const std::string shot = dir.file("decals.png");
    ogre.renderWindow().writeContentsToFile(shot);
    EXPECT_EQ("", test::compareWithReference(shot, REFERENCE));
    EXPECT_EQ(10u, decals.getDecalCount());
}
