// Every name the data files and meshes refer to must exist with exactly that case: file
// systems and OGRE's resource names are case-sensitive here.
#include "support/game/gameworld.h"
#include "support/logcapture.h"
#include "support/ogre/assetgroup.h"
#include "support/ogre/headlessogre.h"
#include "support/tempdir.h"

#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <OgreAnimation.h>
#include <OgreMaterialManager.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSkeleton.h>
#include <OgreSubMesh.h>
#include <OgreVector.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

namespace
{
std::set<std::string> dataFiles()
{
    std::vector<std::string> all = test::AssetGroup::listData("");
    return std::set<std::string>(all.begin(), all.end());
}

std::unique_ptr<brix::XMLElement> loadXML(const std::string& relative, const std::string& root)
{
    auto element = std::make_unique<brix::XMLElement>("");
    EXPECT_GE(element->load(test::sourcePath(relative)), 0)
        << relative << ": " << brix::XMLElement::getLastError();
    EXPECT_EQ(element->getName(), root) << relative;
    return element;
}

template <typename Visit>
void forEachChild(const brix::XMLElement& parent, const std::string& name, Visit visit)
{
    for (const brix::XMLElement* child = parent.getChild(name); child;
         child = parent.getNextChild(child, name))
        visit(*child);
}

// Names that follow a keyword at the start of a line in the data folder's scripts.
std::set<std::string> scriptNames(const std::string& suffix, const std::string& keyword)
{
    std::set<std::string> names;
    std::regex line("^\\s*" + keyword + "\\s+(\\S+)");
    for (const std::string& file : test::AssetGroup::listData(suffix))
    {
        std::istringstream text(test::readFile(test::sourcePath("data/" + file)));
        std::string row;
        std::smatch match;
        while (std::getline(text, row))
            if (std::regex_search(row, match, line))
                names.insert(match[1]);
    }
    return names;
}

std::vector<Ogre::Vector3> readPoints(const std::string& name)
{
    std::string bytes = test::readFile(test::sourcePath("data/" + name));
    std::vector<Ogre::Vector3> points(bytes.size() / 12);
    for (size_t i = 0; i < points.size(); ++i)
        std::memcpy(points[i].ptr(), &bytes[i * 12], 12);
    return points;
}

// Calls visit for every element below the parent, depth first, comments left out.
template <typename Visit>
void forEachDescendant(const brix::XMLElement& parent, const std::string& path, Visit visit)
{
    for (const brix::XMLElement* child = parent.getChild(""); child; child = parent.getNextChild(child, ""))
    {
        if (child->getName().empty() || child->getName()[0] == '!')
            continue;
        const std::string childPath = path.empty() ? child->getName() : path + "/" + child->getName();
        visit(*child, childPath);
        forEachDescendant(*child, childPath, visit);
    }
}

// Positive for a closed surface whose triangles face outward: the volume it encloses.
float signedVolume(const std::vector<Ogre::Vector3>& points)
{
    float volume = 0;
    for (size_t i = 0; i + 2 < points.size(); i += 3)
        volume += points[i].dotProduct(points[i + 1].crossProduct(points[i + 2])) / 6.0f;
    return volume;
}
} // namespace

TEST(GameData, BlockCatalogueNamesExistingMeshesAndBodies)
{
    const std::set<std::string> files = dataFiles();
    std::set<std::string> bodies;
    forEachChild(*loadXML("data/blockbodies.xml", "bodies"), "body",
                 [&](const brix::XMLElement& body) { bodies.insert(body.getValue("name", "")); });

    std::set<std::string> names, categories;
    forEachChild(*loadXML("blocks.xml", "blocks"), "block",
                 [&](const brix::XMLElement& block)
                 {
                     std::string name = block.getValue("name", "");
                     EXPECT_FALSE(name.empty());
                     EXPECT_TRUE(names.insert(name).second) << "duplicate block " << name;
                     std::string category = block.getValue("category", "");
                     EXPECT_FALSE(category.empty()) << name;
                     categories.insert(category);
                     EXPECT_EQ(files.count(block.getValue("mesh", "")), 1u) << name;
                     std::string body = block.getValue("body", "");
                     if (!body.empty())
                     {
                         EXPECT_EQ(bodies.count(body), 1u) << name << " names body " << body;
                     }
                 });
    EXPECT_EQ(categories, (std::set<std::string>{"bridge", "laboratory", "special", "storage", "technical"}));
    for (const char* block : {"techfloor", "techwall", "techcube", "techledge", "techramp", "techceiling"})
        EXPECT_EQ(names.count(block), 1u) << block;
}

TEST(GameData, BodiesNameExistingMaterialsAndOutwardPointFiles)
{
    const std::set<std::string> files = dataFiles();
    std::set<std::string> materials;
    forEachChild(*loadXML("data/materials.xml", "materials"), "material",
                 [&](const brix::XMLElement& material)
                 { EXPECT_TRUE(materials.insert(material.getValue("name", "")).second); });
    // The level's own body, made in code, takes the material "level".
    EXPECT_EQ(materials.count("level"), 1u);

    std::set<std::string> names;
    std::map<std::string, float> volumes;
    for (const char* file : {"data/blockbodies.xml", "data/entitybodies.xml"})
        forEachChild(*loadXML(file, "bodies"), "body",
                     [&](const brix::XMLElement& body)
                     {
                         std::string name = body.getValue("name", "");
                         EXPECT_TRUE(names.insert(name).second) << "duplicate body " << name;
                         EXPECT_EQ(materials.count(body.getValue("material", "")), 1u) << name;
                         forEachChild(body, "shape",
                                      [&](const brix::XMLElement& shape)
                                      {
                                          std::string type = shape.getValue("type", "");
                                          if (type != "mesh" && type != "hull")
                                              return;
                                          std::string data = shape.getValue("data", "");
                                          ASSERT_EQ(files.count(data), 1u) << name << " names " << data;
                                          size_t size =
                                              test::readFile(test::sourcePath("data/" + data)).size();
                                          EXPECT_TRUE(size > 0 && size % 36 == 0) << data << " " << size;
                                          volumes[name] += signedVolume(readPoints(data));
                                      });
                     });
    ASSERT_FALSE(volumes.empty());
    for (const auto& [name, volume] : volumes)
        EXPECT_GT(volume, 0.0f) << name << " is not wound outward";
    // A 4 x 1 x 3 slab and a ramp of half a 4 x 2 x 3 box.
    EXPECT_NEAR(volumes["techfloor"], 12.0f, 1e-3f);
    EXPECT_NEAR(volumes["techramp"], 12.0f, 1e-3f);
}

TEST(GameData, ScriptsNameExistingTexturesAndPrograms)
{
    const std::set<std::string> files = dataFiles();
    // The light-map texture is made by the level at run time, not read from a file.
    for (const std::string& texture : scriptNames(".material", "texture"))
        if (texture != "lightmap")
        {
            EXPECT_EQ(files.count(texture), 1u) << texture;
        }
    for (const std::string& source : scriptNames(".program", "source"))
        EXPECT_EQ(files.count(source), 1u) << source;
    std::set<std::string> programs = scriptNames(".program", "(?:vertex|fragment)_program");
    std::set<std::string> used = scriptNames(".material", "(?:vertex|fragment)_program_ref");
    for (const std::string& program : used)
        EXPECT_EQ(programs.count(program), 1u) << program;
    std::set<std::string> materials = scriptNames(".material", "material");
    for (const char* material :
         {"skindefault", "skinsecurityguard", "skinmilitaryguard", "skinsupporter", "skins"})
        EXPECT_EQ(materials.count(material), 1u) << material;
    // Particle systems and overlays draw with materials of the material scripts.
    for (const char* suffix : {".particle", ".overlay"})
        for (const std::string& material : scriptNames(suffix, "material"))
            EXPECT_EQ(materials.count(material), 1u) << material << " in a " << suffix << " script";
}

TEST(GameData, MeshesNameDefinedMaterialsAndTheirAnimations)
{
    test::HeadlessOgre ogre;
    test::AssetGroup assets;
    // A submesh keeps its material only when one of that name exists as the mesh loads, so
    // a name the scripts do not define comes back empty.
    for (const std::string& material : scriptNames(".material", "material"))
        Ogre::MaterialManager::getSingleton().create(material, test::AssetGroup::NAME);

    std::vector<std::string> meshes = test::AssetGroup::listData(".mesh");
    ASSERT_FALSE(meshes.empty());
    std::map<std::string, std::set<std::string>> animations;
    for (const std::string& name : meshes)
    {
        Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().load(name, test::AssetGroup::NAME);
        for (const Ogre::SubMesh* submesh : mesh->getSubMeshes())
            EXPECT_FALSE(submesh->getMaterialName().empty()) << name << " names an undefined material";
        if (mesh->hasSkeleton())
            for (unsigned short i = 0; i < mesh->getSkeleton()->getNumAnimations(); ++i)
                animations[name].insert(mesh->getSkeleton()->getAnimation(i)->getName());
    }
    for (const char* name :
         {"pistol.mesh", "heavyweapon.mesh", "projectile.mesh", "crate.mesh", "barrel.mesh", "health.mesh",
          "ammo.mesh", "key.mesh", "vial.mesh", "exit.mesh", "checkpoint.mesh", "door.mesh", "platform.mesh",
          "shield.mesh", "muzzleflash.mesh", "heavyflash.mesh", "background.mesh", "holocubespstart.mesh",
          "holocubempstart.mesh", "holocubeexit.mesh", "holocubecheckpoint.mesh", "holocubetrigger.mesh"})
        EXPECT_TRUE(std::count(meshes.begin(), meshes.end(), name)) << name;
    using Names = std::set<std::string>;
    EXPECT_EQ(animations["drone.mesh"], Names{"loop"});
    EXPECT_EQ(animations["crawler.mesh"], Names{"move"});
    EXPECT_EQ(animations["sentrygun.mesh"], (Names{"recoil", "powered"}));
    EXPECT_EQ(animations["human.mesh"].size(), 12u);
    EXPECT_EQ(animations.size(), 4u);
}

TEST(GameData, BodyTemplatesLoadAndDeployInTheSimulator)
{
    brix::Simulator simulator(false, 0.0125f);
    simulator.setGravity(Ogre::Vector3(0, -9.8f, 0));
    simulator.loadMaterials("data/materials.xml");
    std::vector<std::string> names;
    for (const char* file : {"data/blockbodies.xml", "data/entitybodies.xml"})
    {
        ASSERT_NO_THROW(simulator.loadTemplates(file)) << file;
        forEachChild(*loadXML(file, "bodies"), "body",
                     [&](const brix::XMLElement& body) { names.push_back(body.getValue("name", "")); });
    }
    for (const std::string& name : names)
    {
        ASSERT_TRUE(simulator.hasTemplate(name)) << name;
        brix::Body* body = simulator.createBody(name);
        EXPECT_NO_THROW(body->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                                     Ogre::Vector3::ZERO))
            << name;
        simulator.destroyBody(body);
        simulator.flush();
    }
    // The block bodies hold the triangles the level's body is made of: all of their points.
    const brix::BodyTemplate* floor = simulator.getTemplate("techfloor");
    ASSERT_EQ(floor->numShapes(), 1u);
    EXPECT_EQ(floor->getShape(0).type, 3u);
    EXPECT_EQ(floor->getShape(0).points.size(), 36u);
    // The human reads sensor 0 of its bodies as its crush measure; so do drones and crawlers.
    for (const char* name : {"humanstanding", "humancrouching", "drone", "crawler"})
    {
        const brix::BodyTemplate* bodyTemplate = simulator.getTemplate(name);
        ASSERT_GE(bodyTemplate->numSensors(), 1u) << name;
        EXPECT_EQ(bodyTemplate->getSensor(0).type, 1u) << name;
    }
    const brix::BodyTemplate* door = simulator.getTemplate("door");
    EXPECT_EQ(door->getJoint().type, 2u);
    EXPECT_EQ(door->getJoint().axes[0].direction, Ogre::Vector3::UNIT_Z);
}

TEST(GameData, EntityPrototypesNameExistingContentAndEachOther)
{
    const std::set<std::string> files = dataFiles();
    std::set<std::string> bodies, decals, materials = scriptNames(".material", "material");
    forEachChild(*loadXML("data/entitybodies.xml", "bodies"), "body",
                 [&](const brix::XMLElement& body) { bodies.insert(body.getValue("name", "")); });
    forEachChild(*loadXML("decals.xml", "decals"), "decal",
                 [&](const brix::XMLElement& decal) { decals.insert(decal.getValue("name", "")); });
    const std::set<std::string> particleSystems = scriptNames(".particle", "particle_system");

    // The children each class reads; anything else would be a misspelt field left at 0.
    const std::string common = " name id attributes category gridsnapoffset defaultdepth ";
    const std::string item = " displayname mesh respawnsound pickupsound spawndelay autopickup ";
    const std::map<std::string, std::string> fields = {
        {"weapon",
         item + "flash shootsound loopsound reloadsound projectile beam handleoffset shootdelay "
                "reloaddelay recoil rounds roundsperclip timeperround aimmarkerdistance heavy barrellength "},
        {"package", item + "health rounds vials keymask shieldenergy random "},
        {"projectile",
         " mass mesh sound soundlooping light contact rotation explosion explosionorientation impulse "
         "damage effect noexplosiontype periodicdamage distancelimit "},
        {"explosion",
         " flame smoke debris smokedelay fragmentradius fragmentcount fragment light sound range damage "
         "impulse radius duration splat splatdelay splatcount splatdistance "},
        {"prop",
         " body mesh sound soundlooping light contact integrity explosion effect effectoffset duration "
         "minimumvelocity proximitytrigger animationlength animationlengthvariation items shadowradius "
         "spawnpoint periodicdamage "},
        {"human",
         " body mesh skin standheight eyeheight falldamagespeed falldeathspeed crushdamage footstepsound "
         "damagesound chatsound weapon unlimitedrounds misaim integrity regeneration killscore speech items "
         "ai "},
        {"door", " body mesh movesound stopsound denysound keymask closingdelay openingspeed closingspeed "},
        {"platform",
         " body mesh startsound movesound stopsound interactsound routespeed routespeedramp routewait "
         "controller positionerrortolerance cabincenter cabinsize "},
        {"shield", " body mesh sound powerupsound powerdownsound light controller "},
        {"drone", " body mesh animationsound wakeupsound attacksound damagesound speed animationlength "
                  "animationlengthvariation integrity explosion attackdamage tiltfactor tiltlimit killscore "
                  "projectile shootdelay shootsound crushdamage flash ai "},
        {"crawler",
         " body mesh speed animationsound damagesound animationlength integrity explosion killscore "
         "crushdamage shadowradius ai "},
        {"sentrygun",
         " body mesh shootsound loopsound armedbeepsound disarmsound integrity explosion shootdelay "
         "poweruptime powerdowntime powerdowndelay poweredanimationscale flash projectile ai "}};

    auto root = loadXML("entities.xml", "entities");
    std::map<std::string, std::string> types;
    std::set<int> ids;
    // Names of other prototypes, by the definition that names them.
    std::vector<std::pair<std::string, std::string>> references;
    forEachChild(
        *root, "",
        [&](const brix::XMLElement& entity)
        {
            const std::string type = entity.getName();
            if (type.empty() || type[0] == '!')
                return;
            const std::string name = entity.getValue("name", "");
            ASSERT_EQ(fields.count(type), 1u) << "unknown entity element " << type;
            EXPECT_TRUE(types.emplace(name, type).second) << "duplicate entity " << name;
            const int id = entity.getValueAsInteger("id", 0);
            EXPECT_TRUE(id >= 1 && id <= 255) << name << " has id " << id;
            EXPECT_TRUE(ids.insert(id).second) << name << " repeats id " << id;
            const std::string known = common + fields.at(type);
            forEachChild(entity, "",
                         [&](const brix::XMLElement& field)
                         {
                             if (field.getName()[0] != '!')
                             {
                                 EXPECT_NE(known.find(" " + field.getName() + " "), std::string::npos)
                                     << name << " has the unknown field " << field.getName();
                             }
                         });
            // Only explosions and projectiles may go without a mesh.
            if (type != "explosion" && type != "projectile")
            {
                EXPECT_TRUE(entity.getChild("mesh")) << name << " has no mesh";
            }
            const std::string body = entity.getValue("body", "");
            if (type == "human")
            {
                for (const char* posture : {"standing", "crouching"})
                    EXPECT_EQ(bodies.count(body + posture), 1u) << name << " names body " << body;
            }
            else if (!body.empty())
            {
                EXPECT_EQ(bodies.count(body), 1u) << name << " names body " << body;
            }
            forEachDescendant(
                entity, "",
                [&](const brix::XMLElement& field, const std::string& path)
                {
                    const std::string& key = field.getName();
                    const std::string value = field.getValue();
                    const std::string where = name + " " + path + " '" + value + "'";
                    if (key.size() >= 5 && key.compare(key.size() - 5, 5, "sound") == 0)
                    {
                        EXPECT_EQ(files.count(value), 1u) << where;
                    }
                    else if (path == "mesh" || path == "flash/mesh")
                    {
                        EXPECT_EQ(files.count(value), 1u) << where;
                    }
                    else if (path == "effect" || path == "flame" || path == "smoke" || path == "debris" ||
                             path == "beam/particlesystem")
                    {
                        EXPECT_EQ(particleSystems.count(value.substr(0, value.find('/'))), 1u) << where;
                    }
                    else if (path == "beam/material")
                    {
                        EXPECT_EQ(materials.count(value), 1u) << where;
                    }
                    else if (path == "splat" || path == "contact/splat")
                    {
                        EXPECT_EQ(decals.count(value), 1u) << where;
                    }
                    else if (path == "weapon" || path == "explosion" || path == "projectile/name" ||
                             path == "items/item" || path == "fragment/name" || path == "spawnpoint/entity")
                    {
                        references.emplace_back(where, value);
                    }
                });
        });
    for (const auto& [where, value] : references)
        EXPECT_EQ(types.count(value), 1u) << where << " names no prototype";
    // The names the game itself creates entities by.
    const std::map<std::string, std::string> asked = {{"player", "human"},
                                                      {"humanexplosion", "explosion"},
                                                      {"shield", "shield"},
                                                      {"exit", "package"},
                                                      {"checkpoint", "package"}};
    for (const auto& [name, type] : asked)
        EXPECT_EQ(types[name], type) << name;
}

TEST(GameData, EntityPrototypesLoadIntoTheEntityManager)
{
    test::LogCapture log;
    test::GameOgre ogre;
    test::GameWorld world(ogre.createSceneManager());
    ASSERT_NO_THROW(world.entities().loadEntityPrototypes(test::sourcePath("entities.xml")));
    EXPECT_TRUE(log.errors().empty()) << log.errors().front();
    std::vector<std::string> names;
    world.entities().getPrototypeNames("", names, true);
    EXPECT_GE(names.size(), 40u);
    for (const std::string& name : names)
        EXPECT_EQ(world.entities().getPrototype(name)->getName(), name);
    EXPECT_EQ(world.entities().getPrototype("barrel")->getType(), "prop");
    EXPECT_EQ(world.entities().getPrototype("exit")->getType(), "package");
}
