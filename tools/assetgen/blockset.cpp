#include "blockset.h"

#include "materialscript.h"
#include "meshbuilder.h"
#include "xmltext.h"

#include "toolkit/xmlelement.h"

#include <cmath>
#include <functional>
#include <vector>

namespace assetgen
{
namespace
{
const float DEPTH = 3.0f;
const float BEVEL = 0.04f;
// Block bodies are only read for their collision triangles; the level body is static.
const float BLOCK_MASS = 1.0f;

struct TBlock
{
    const char* name;
    const char* category;
    Ogre::Vector3 size;
    // Adds the solids: those that collide go to both builders, trim only to the mesh.
    std::function<void(MeshBuilder& mesh, MeshBuilder& collision)> build;
};

Ogre::Matrix4 at(float x, float y, float z = 0)
{
    return MeshBuilder::makeTransform(Ogre::Vector3(x, y, z));
}

void solidBox(MeshBuilder& mesh, MeshBuilder& collision, const char* material, const Ogre::Vector3& size,
              const Ogre::Matrix4& transform = Ogre::Matrix4::IDENTITY)
{
    mesh.setMaterial(material);
    mesh.addBox(size, BEVEL, transform);
    collision.addBox(size, 0, transform);
}

void trimBox(MeshBuilder& mesh, const char* material, const Ogre::Vector3& size,
             const Ogre::Matrix4& transform)
{
    mesh.setMaterial(material);
    mesh.addBox(size, 0.01f, transform);
}

// A slab with a lighter top plate and seams every metre.
void floorSlab(MeshBuilder& mesh, MeshBuilder& collision, const Ogre::Vector3& size, const char* body,
               const char* top, const char* seam)
{
    solidBox(mesh, collision, body, size);
    trimBox(mesh, top, {size.x - 0.1f, 0.04f, size.z - 0.1f}, at(0, size.y * 0.5f + 0.005f));
    for (float x = -size.x * 0.5f + 1.0f; x < size.x * 0.5f - 0.01f; x += 1.0f)
        trimBox(mesh, seam, {0.04f, 0.05f, size.z - 0.08f}, at(x, size.y * 0.5f + 0.01f));
}

std::vector<TBlock> makeBlocks()
{
    std::vector<TBlock> blocks;
    // Technical: bare metal and lamps.
    blocks.push_back(
        {"techfloor", "technical", {4, 1, DEPTH}, [](MeshBuilder& m, MeshBuilder& c) {
             floorSlab(m, c, {4, 1, DEPTH}, "block/techdark", "block/techmetal", "block/techdark");
         }});
    blocks.push_back({"techwall",
                      "technical",
                      {1, 4, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/techmetal", {1, 4, DEPTH});
                          for (float y : {-1.0f, 1.0f})
                              trimBox(m, "block/techdark", {1.02f, 0.1f, DEPTH + 0.02f}, at(0, y));
                      }});
    blocks.push_back({"techcube",
                      "technical",
                      {1, 1, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/techmetal", {1, 1, DEPTH});
                          trimBox(m, "block/techdark", {0.7f, 0.7f, DEPTH + 0.02f}, Ogre::Matrix4::IDENTITY);
                      }});
    blocks.push_back({"techledge",
                      "technical",
                      {2, 0.25f, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/techmetal", {2, 0.25f, DEPTH});
                          trimBox(m, "block/hazard", {2.02f, 0.06f, 0.1f}, at(0, 0, DEPTH * 0.5f - 0.04f));
                      }});
    blocks.push_back({"techramp",
                      "technical",
                      {4, 2, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          std::vector<Ogre::Vector2> outline = {{-2, -1}, {2, -1}, {2, 1}};
                          m.setMaterial("block/techmetal");
                          m.addPrism(outline, DEPTH, Ogre::Matrix4::IDENTITY);
                          c.addPrism(outline, DEPTH, Ogre::Matrix4::IDENTITY);
                          trimBox(m, "block/techdark", {0.1f, 2.0f, DEPTH + 0.02f}, at(1.95f, 0));
                      }});
    blocks.push_back({"techceiling",
                      "technical",
                      {4, 1, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/techdark", {4, 1, DEPTH});
                          for (float x : {-1.0f, 1.0f})
                              trimBox(m, "block/lamp", {1.2f, 0.04f, 0.4f}, at(x, -0.51f));
                      }});
    // Storage: concrete and containers.
    blocks.push_back(
        {"storagefloor",
         "storage",
         {4, 1, DEPTH},
         [](MeshBuilder& m, MeshBuilder& c)
         {
             floorSlab(m, c, {4, 1, DEPTH}, "block/concrete", "block/concrete", "block/storagetrim");
             trimBox(m, "block/hazard", {4.0f, 0.05f, 0.15f}, at(0, 0.52f, DEPTH * 0.5f - 0.1f));
         }});
    blocks.push_back({"storagewall",
                      "storage",
                      {4, 4, 0.5f},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/storagewall", {4, 4, 0.5f});
                          for (float x : {-1.5f, 0.0f, 1.5f})
                              trimBox(m, "block/storagetrim", {0.15f, 4.0f, 0.56f}, at(x, 0));
                      }});
    blocks.push_back({"storagecube",
                      "storage",
                      {2, 2, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/container", {2, 2, DEPTH});
                          for (float x = -0.75f; x < 0.8f; x += 0.25f)
                              trimBox(m, "block/container", {0.08f, 1.9f, DEPTH + 0.04f}, at(x, 0));
                      }});
    // Laboratory: white panels with lit windows.
    blocks.push_back({"labfloor", "laboratory", {4, 1, DEPTH}, [](MeshBuilder& m, MeshBuilder& c) {
                          floorSlab(m, c, {4, 1, DEPTH}, "block/labtrim", "block/labwhite", "block/labtrim");
                      }});
    blocks.push_back({"labwall",
                      "laboratory",
                      {4, 4, 0.5f},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/labwhite", {4, 4, 0.5f});
                          trimBox(m, "block/labwindow", {3.0f, 1.0f, 0.52f}, at(0, 0.6f));
                          trimBox(m, "block/labtrim", {4.02f, 0.15f, 0.54f}, at(0, -1.6f));
                      }});
    blocks.push_back({"labcube",
                      "laboratory",
                      {1, 1, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/labwhite", {1, 1, DEPTH});
                          trimBox(m, "block/labtrim", {1.02f, 0.12f, DEPTH + 0.02f}, at(0, 0.3f));
                      }});
    // Bridges: a thin deck with railings, and the pillar that holds it.
    blocks.push_back({"bridge",
                      "bridge",
                      {4, 0.3f, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/bridgesteel", {4, 0.3f, DEPTH});
                          for (float z : {-1.4f, 1.4f})
                          {
                              trimBox(m, "block/rail", {4.0f, 0.06f, 0.06f}, at(0, 1.0f, z));
                              for (float x : {-1.9f, -0.65f, 0.65f, 1.9f})
                                  trimBox(m, "block/rail", {0.06f, 0.85f, 0.06f}, at(x, 0.575f, z));
                          }
                      }});
    blocks.push_back({"bridgepillar",
                      "bridge",
                      {1, 4, 1},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/bridgesteel", {1, 4, 1});
                          for (float y : {-1.5f, 0.0f, 1.5f})
                              trimBox(m, "block/rail", {1.04f, 0.12f, 1.04f}, at(0, y));
                      }});
    // Special: hazard flooring, and a pipe that is only scenery.
    blocks.push_back({"hazardfloor",
                      "special",
                      {2, 1, DEPTH},
                      [](MeshBuilder& m, MeshBuilder& c)
                      {
                          solidBox(m, c, "block/techdark", {2, 1, DEPTH});
                          for (float x = -0.75f; x < 0.8f; x += 0.5f)
                              trimBox(m, "block/hazard", {0.25f, 0.03f, DEPTH - 0.1f}, at(x, 0.51f));
                      }});
    blocks.push_back({"pipe",
                      "special",
                      {4, 0.6f, 0.6f},
                      [](MeshBuilder& m, MeshBuilder&)
                      {
                          m.setMaterial("block/pipe");
                          Ogre::Quaternion sideways(Ogre::Degree(90), Ogre::Vector3::UNIT_Z);
                          m.addCylinder(0.3f, 4.0f, 16,
                                        MeshBuilder::makeTransform(Ogre::Vector3::ZERO, sideways));
                          for (float x : {-1.8f, 1.8f})
                              m.addCylinder(0.36f, 0.15f, 16,
                                            MeshBuilder::makeTransform(Ogre::Vector3(x, 0, 0), sideways));
                      }});
    return blocks;
}

float snapOffset(float size)
{
    float half = size * 0.5f;
    return half - std::floor(half);
}
} // namespace

bool BlockSet::write(const std::string& rootFolder, MaterialScript& materials)
{
    materials.addBlock("block/techmetal", Ogre::ColourValue(0.56f, 0.6f, 0.66f));
    materials.addBlock("block/techdark", Ogre::ColourValue(0.3f, 0.33f, 0.38f));
    materials.addBlock("block/hazard", Ogre::ColourValue(0.88f, 0.7f, 0.1f));
    materials.addBlock("block/concrete", Ogre::ColourValue(0.52f, 0.51f, 0.48f));
    materials.addBlock("block/storagewall", Ogre::ColourValue(0.45f, 0.4f, 0.34f));
    materials.addBlock("block/storagetrim", Ogre::ColourValue(0.3f, 0.28f, 0.25f));
    materials.addBlock("block/container", Ogre::ColourValue(0.62f, 0.26f, 0.16f));
    materials.addBlock("block/labwhite", Ogre::ColourValue(0.86f, 0.88f, 0.9f));
    materials.addBlock("block/labtrim", Ogre::ColourValue(0.33f, 0.55f, 0.7f));
    materials.addBlock("block/bridgesteel", Ogre::ColourValue(0.4f, 0.42f, 0.46f));
    materials.addBlock("block/rail", Ogre::ColourValue(0.75f, 0.62f, 0.2f));
    materials.addBlock("block/pipe", Ogre::ColourValue(0.45f, 0.52f, 0.42f));
    materials.addGlow("block/lamp", Ogre::ColourValue(1.0f, 0.96f, 0.85f));
    // Windows are lit from behind; a whole wall of them would drown the picture in glow.
    materials.addGlow("block/labwindow", Ogre::ColourValue(0.45f, 0.75f, 0.95f), 0.1f);

    brix::XMLElement catalogue("blocks");
    brix::XMLElement bodies("bodies");
    XMLText::addNotice(&catalogue);
    XMLText::addNotice(&bodies);
    const std::string dataFolder = rootFolder + "/data";
    for (const TBlock& block : makeBlocks())
    {
        MeshBuilder mesh, collision;
        block.build(mesh, collision);
        if (!mesh.writeMesh(dataFolder + "/" + block.name + ".mesh"))
            return false;

        brix::XMLElement* entry = catalogue.createChild("block");
        XMLText::add(entry, "name", block.name);
        XMLText::add(entry, "category", block.category);
        XMLText::add(entry, "mesh", std::string(block.name) + ".mesh");
        XMLText::add(entry, "gridsnapoffset",
                     XMLText::vector({snapOffset(block.size.x), snapOffset(block.size.y), 0}));
        if (collision.getTriangles().empty())
            continue;

        std::string points = std::string(block.name) + ".collision";
        if (!collision.writePoints(dataFolder + "/" + points))
            return false;
        XMLText::add(entry, "body", block.name);
        brix::XMLElement* body = bodies.createChild("body");
        XMLText::add(body, "name", block.name);
        brix::XMLElement* shape = body->createChild("shape");
        XMLText::add(shape, "type", "mesh");
        XMLText::add(shape, "data", points);
        XMLText::add(body, "material", "level");
        XMLText::add(body, "mass", XMLText::number(BLOCK_MASS));
    }
    return catalogue.save(rootFolder + "/blocks.xml", true) >= 0 &&
           bodies.save(dataFolder + "/blockbodies.xml", true) >= 0;
}
} // namespace assetgen
