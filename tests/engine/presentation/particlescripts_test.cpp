// The particle scripts shipped in data/particles, with the materials they draw with, read the way the
// game reads them: OGRE's ParticleFX compiles them, and systems made from the templates emit.
#include "support/ogre/headlessogre.h"
#include "support/ogre/scriptgroup.h"

#include <OgreMaterialManager.h>
#include <OgreParticleEmitter.h>
#include <OgreParticleSystem.h>
#include <OgreParticleSystemManager.h>
#include <OgrePass.h>
#include <OgreSceneManager.h>
#include <OgreTechnique.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace
{
// The game's data folder, which the game scans with its subfolders: textures are named by
// their path below it.
const char* const FOLDER = "data";
const char* const PARTICLES = "data/particles";

// Every particle script, after the script of the particle materials.
std::vector<std::string> scripts()
{
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(PARTICLES))
        if (entry.path().extension() == ".particle")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    paths.insert(paths.begin(), std::string(PARTICLES) + "/particles.material");
    return paths;
}

class ParticleScripts : public testing::Test
{
protected:
    // The templates of the shipped scripts by name (every template OGRE knows comes from them).
    std::map<std::string, Ogre::ParticleSystem*> templates()
    {
        std::map<std::string, Ogre::ParticleSystem*> found;
        auto it = Ogre::ParticleSystemManager::getSingleton().getTemplateIterator();
        while (it.hasMoreElements())
        {
            const std::string name = it.peekNextKey();
            found[name] = it.getNext();
        }
        return found;
    }

    // A system made from the template as the particle pool makes it, attached to the scene,
    // with every emitter switched off.
    Ogre::ParticleSystem* createSystem(const std::string& name)
    {
        Ogre::SceneManager& scene = mOgre.sceneManager();
        Ogre::ParticleSystem* system = scene.createParticleSystem(name, name);
        scene.getRootSceneNode()->attachObject(system);
        for (unsigned short i = 0; i < system->getNumEmitters(); ++i)
            system->getEmitter(i)->setEnabled(false);
        return system;
    }

    static void run(Ogre::ParticleSystem* system, float seconds)
    {
        const float STEP = 0.025f;
        for (float time = 0; time < seconds; time += STEP)
            system->_update(STEP);
    }

    test::HeadlessOgre mOgre{"Plugin_ParticleFX"};
    test::ScriptGroup mGroup{"ParticleScripts", scripts()};
};

TEST_F(ParticleScripts, CompileWithoutErrorsAndDefineTheEffectsTheGameNames)
{
    for (const std::string& error : mGroup.errors())
        ADD_FAILURE() << error;
    const std::map<std::string, Ogre::ParticleSystem*> found = templates();
    for (const char* name :
         {"bloodsplatter", "flame", "smokecloud", "debris", "burning", "trail", "beamsparks"})
        EXPECT_EQ(1u, found.count(name)) << name;

    Ogre::ParticleSystem* blood = found.at("bloodsplatter");
    ASSERT_EQ(2u, blood->getNumEmitters());
    EXPECT_EQ("radial", blood->getEmitter(0)->getName());
    EXPECT_EQ("directional", blood->getEmitter(1)->getName());
}

TEST_F(ParticleScripts, EveryTemplateDrawsWithAShippedMaterialAndTexture)
{
    for (const auto& [name, system] : templates())
    {
        const std::string& material = system->getMaterialName();
        Ogre::MaterialPtr found = Ogre::MaterialManager::getSingleton().getByName(material, mGroup.name());
        ASSERT_TRUE(found) << name << " uses the missing material " << material;
        Ogre::Pass* pass = found->getTechnique(0)->getPass(0);
        ASSERT_EQ(1u, pass->getNumTextureUnitStates()) << material;
        const std::string texture = pass->getTextureUnitState(0)->getTextureName();
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(FOLDER) + "/" + texture))
            << material << " names the missing texture " << texture;
        // Billboards are see-through and sorted by nothing: writing depth would cut them.
        EXPECT_FALSE(pass->getDepthWriteEnabled()) << material;
    }
}

TEST_F(ParticleScripts, BurstsEndByThemselvesAndSteadyEffectsKeepEmitting)
{
    // The game switches a burst's emitter on and never off again; a steady effect stays on
    // until its owner gives it back.
    const std::map<std::string, bool> bursts = {{"bloodsplatter", true}, {"flame", true},    {"debris", true},
                                                {"smokecloud", true},    {"burning", false}, {"trail", false},
                                                {"beamsparks", false}};
    for (const auto& [name, burst] : bursts)
    {
        Ogre::ParticleSystem* system = createSystem(name);
        for (unsigned short i = 0; i < system->getNumEmitters(); ++i)
        {
            Ogre::ParticleEmitter* emitter = system->getEmitter(i);
            system->clear();
            emitter->setEnabled(true);
            run(system, 0.2f);
            EXPECT_GT(system->getNumParticles(), 0u) << name << " emitter " << i;
            run(system, 2.0f);
            EXPECT_EQ(!burst, emitter->getEnabled()) << name << " emitter " << i;
            emitter->setEnabled(false);
        }
        // A burst switched on again fires again.
        if (burst)
        {
            system->clear();
            system->getEmitter(0)->setEnabled(true);
            run(system, 0.2f);
            EXPECT_GT(system->getNumParticles(), 0u) << name << " fired twice";
        }
        mOgre.sceneManager().destroyParticleSystem(system);
    }
}

TEST_F(ParticleScripts, BloodFallsAndFades)
{
    Ogre::ParticleSystem* system = createSystem("bloodsplatter");
    system->getEmitter(1)->setEnabled(true);
    run(system, 0.3f);
    ASSERT_GT(system->getNumParticles(), 0u);
    for (size_t i = 0; i < system->getNumParticles(); ++i)
    {
        Ogre::Particle* particle = system->getParticle(i);
        EXPECT_LT(particle->mDirection.y, 0.5f);
        EXPECT_LT(particle->mColour.a, 1.0f);
    }
    // Every drop is gone within its longest life.
    run(system, 1.0f);
    EXPECT_EQ(0u, system->getNumParticles());
}
} // namespace
