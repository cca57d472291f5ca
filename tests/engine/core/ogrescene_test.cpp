#include "engine/core/animatedlight.h"
#include "engine/core/ogrescene.h"

#include "support/ogre/headlessogre.h"

#include <OgreEntity.h>
#include <OgreLight.h>
#include <OgreManualObject.h>
#include <OgreMesh.h>
#include <OgreParticleSystem.h>
#include <OgreParticleSystemManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSubEntity.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
class OgreSceneTest : public testing::Test
{
protected:
    test::HeadlessOgre mOgre{{"Plugin_ParticleFX"}};
    Ogre::SceneManager& mScene = mOgre.sceneManager();
    Ogre::SceneNode* mParent = mScene.getRootSceneNode()->createChildSceneNode(Ogre::Vector3(1, 2, 3));
};

float intensityOf(const brix::AnimatedLight& light)
{
    return light.getCurrentColor().r;
}
} // namespace

TEST_F(OgreSceneTest, EmptyMeshNameGivesABareNodeAndLeavesTheEntityAlone)
{
    brix::OgreScene scene(&mScene, 2);
    Ogre::SceneNode* node = nullptr;
    Ogre::Entity* entity = reinterpret_cast<Ogre::Entity*>(0x1);
    scene.createSceneNode(node, entity, mParent, "");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getParentSceneNode(), mParent);
    EXPECT_EQ(node->getPosition(), Ogre::Vector3::ZERO);
    EXPECT_EQ(node->numAttachedObjects(), 0u);
    EXPECT_EQ(entity, reinterpret_cast<Ogre::Entity*>(0x1));

    entity = nullptr;
    scene.destroySceneNode(node, entity);
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(mParent->numChildren(), 0u);
}

TEST_F(OgreSceneTest, MeshEntitiesGetZeroedCustomParameters)
{
    Ogre::ManualObject* shape = mScene.createManualObject();
    shape->begin("BaseWhite", Ogre::RenderOperation::OT_TRIANGLE_LIST);
    shape->position(0, 0, 0);
    shape->position(1, 0, 0);
    shape->position(0, 1, 0);
    shape->end();
    shape->convertToMesh("triangle.mesh");
    mScene.destroyManualObject(shape);

    brix::OgreScene scene(&mScene, 2);
    Ogre::SceneNode* node = nullptr;
    Ogre::Entity* entity = nullptr;
    scene.createSceneNode(node, entity, mParent, "triangle.mesh");
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->getParentSceneNode(), node);
    Ogre::SubEntity* sub = entity->getSubEntity(0);
    EXPECT_TRUE(sub->hasCustomParameter(0));
    EXPECT_TRUE(sub->hasCustomParameter(1));
    EXPECT_FALSE(sub->hasCustomParameter(2));
    EXPECT_EQ(sub->getCustomParameter(1), Ogre::Vector4(0, 0, 0, 0));

    scene.destroySceneNode(node, entity);
    EXPECT_EQ(entity, nullptr);
    EXPECT_FALSE(mScene.hasEntity("triangle.mesh"));
    EXPECT_EQ(mParent->numChildren(), 0u);
}

TEST_F(OgreSceneTest, CreatesAndDestroysEveryKindWithItsNode)
{
    Ogre::ParticleSystemManager::getSingleton().createTemplate("sparks", "General");
    brix::OgreScene scene(&mScene, 0);

    Ogre::SceneNode *lightNode = nullptr, *animatedNode = nullptr, *particleNode = nullptr,
                    *manualNode = nullptr;
    Ogre::Light* light = nullptr;
    brix::AnimatedLight* animated = nullptr;
    Ogre::ParticleSystem* particles = nullptr;
    Ogre::ManualObject* manual = nullptr;
    scene.createSceneNode(lightNode, light, mParent);
    scene.createSceneNode(animatedNode, animated, mParent);
    scene.createSceneNode(particleNode, particles, nullptr, "sparks");
    // Every particle system needs a name of its own.
    Ogre::SceneNode* secondNode = nullptr;
    Ogre::ParticleSystem* second = nullptr;
    scene.createSceneNode(secondNode, second, nullptr, "sparks");
    EXPECT_EQ(second->getName(), secondNode->getName());
    scene.destroySceneNode(secondNode, second);
    scene.createSceneNode(manualNode, manual, mParent);
    EXPECT_EQ(light->getParentSceneNode(), lightNode);
    EXPECT_EQ(animated->getMovableObject()->getParentSceneNode(), animatedNode);
    EXPECT_EQ(particles->getParentSceneNode(), particleNode);
    EXPECT_EQ(particleNode->getParentSceneNode(), mScene.getRootSceneNode());
    EXPECT_EQ(manual->getParentSceneNode(), manualNode);
    EXPECT_EQ(mParent->numChildren(), 3u);
    EXPECT_EQ(mScene.getMovableObjects("Light").size(), 2u);

    scene.destroySceneNode(lightNode, light);
    scene.destroySceneNode(animatedNode, animated);
    scene.destroySceneNode(particleNode, particles);
    scene.destroySceneNode(manualNode, manual);
    EXPECT_TRUE(!lightNode && !light && !animatedNode && !animated && !particleNode && !particles &&
                !manualNode && !manual);
    EXPECT_EQ(mParent->numChildren(), 0u);
    EXPECT_TRUE(mScene.getMovableObjects("Light").empty());
    EXPECT_TRUE(mScene.getMovableObjects("ParticleSystem").empty());
    EXPECT_TRUE(mScene.getMovableObjects("ManualObject").empty());

    // Null references on entry are fine.
    scene.destroySceneNode(manualNode, manual);
}

TEST_F(OgreSceneTest, LightRangeSetsTheSharedAttenuation)
{
    Ogre::Light* light = mScene.createLight();
    brix::OgreScene::setLightRange(light, 10);
    EXPECT_FLOAT_EQ(light->getAttenuationRange(), 10);
    EXPECT_FLOAT_EQ(light->getAttenuationConstant(), 1);
    EXPECT_FLOAT_EQ(light->getAttenuationLinear(), 0);
    EXPECT_FLOAT_EQ(light->getAttenuationQuadric(), 0.1f);
}

TEST_F(OgreSceneTest, AnimatedLightIsAShadowlessPointLightHiddenAsBlack)
{
    brix::AnimatedLight light(&mScene);
    EXPECT_EQ(light.getMovableObject()->getType(), Ogre::Light::LT_POINT);
    EXPECT_FALSE(light.getMovableObject()->getCastShadows());
    light.setColor(Ogre::ColourValue(0.5f, 0.25f, 1.0f));
    light.update(0.1f);
    EXPECT_EQ(light.getCurrentColor(), Ogre::ColourValue(0.5f, 0.25f, 1.0f));
    light.getMovableObject()->setVisible(false);
    EXPECT_EQ(light.getCurrentColor(), Ogre::ColourValue::Black);
}

TEST_F(OgreSceneTest, RampRisesOrFallsOverItsDurationThenHolds)
{
    brix::AnimatedLight light(&mScene);
    light.setAnimation(brix::AnimatedLight::RAMP, 2, 1);
    light.update(1);
    EXPECT_FLOAT_EQ(intensityOf(light), 0.5f);
    light.update(1);
    EXPECT_FLOAT_EQ(intensityOf(light), 1);
    light.update(5);
    EXPECT_FLOAT_EQ(intensityOf(light), 1);

    light.setAnimation(brix::AnimatedLight::RAMP, 2, -1);
    light.update(0.5f);
    EXPECT_FLOAT_EQ(intensityOf(light), 0.75f);
    light.update(1.5f);
    EXPECT_FLOAT_EQ(intensityOf(light), 0);

    // A ramp of no duration is over at once instead of dividing by zero.
    light.setAnimation(brix::AnimatedLight::RAMP, 0, 0.5f);
    light.update(0);
    EXPECT_FLOAT_EQ(intensityOf(light), 0.5f);
    light.setAnimation(brix::AnimatedLight::RAMP, -1, -1);
    light.update(0.1f);
    EXPECT_FLOAT_EQ(intensityOf(light), 0);
}

TEST_F(OgreSceneTest, PulseAndFlickerFollowTheirAmplitude)
{
    brix::AnimatedLight light(&mScene);
    light.setAnimation(brix::AnimatedLight::SINE_PULSE, 3, 0);
    for (int i = 0; i < 50; ++i)
    {
        light.update(0.013f);
        EXPECT_FLOAT_EQ(intensityOf(light), 1);
    }
    light.setAnimation(brix::AnimatedLight::SINE_PULSE, 1, 1);
    float lowest = 1;
    for (int i = 0; i < 100; ++i)
    {
        light.update(0.01f);
        lowest = std::min(lowest, intensityOf(light));
        EXPECT_GE(intensityOf(light), 0);
    }
    EXPECT_LT(lowest, 0.01f);

    light.setAnimation(brix::AnimatedLight::RANDOM_FLICKER, 10, 1);
    for (int i = 0; i < 100; ++i)
    {
        light.update(0.05f);
        EXPECT_FLOAT_EQ(intensityOf(light), 1);
    }
    // With amplitude 0 the light goes dark for exactly the update that ends each period.
    light.setAnimation(brix::AnimatedLight::RANDOM_FLICKER, 10, 0);
    light.update(0.05f);
    EXPECT_FLOAT_EQ(intensityOf(light), 1);
    light.update(0.05f);
    EXPECT_FLOAT_EQ(intensityOf(light), 0);
    light.update(0.05f);
    EXPECT_FLOAT_EQ(intensityOf(light), 1);
}
