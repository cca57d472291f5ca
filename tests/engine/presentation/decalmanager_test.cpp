#include "engine/presentation/decalmanager.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/manualobjectreader.h"
#include "support/tempdir.h"
#include "support/workingfolder.h"

#include <OgreException.h>
#include <OgreHardwareBufferManager.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreMeshManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSubMesh.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <type_traits>

using brix::DecalManager;

static_assert(!std::is_copy_constructible<DecalManager>::value, "decals point into their own manager");

namespace
{
// "hole": a 2 x 1 quad in "marks" spaced 0.5 apart; "burn": a 1 x 1 quad in "marks" with texture
// coordinates; "splash": a 1 x 1 quad in "blood".
const char* const DEFINITIONS = R"(<decals>
  <decal><id>1</id><name>hole</name><spacing>0.5</spacing>
    <quad><material>marks</material><size>2 1</size><uv1>0 0</uv1><uv2>1 1</uv2></quad></decal>
  <decal><id>2</id><name>burn</name>
    <quad><material>marks</material><size>1 1</size><uv1>0.5 0</uv1><uv2>1 0.5</uv2></quad></decal>
  <decal><id>3</id><name>splash</name>
    <quad><material>blood</material><size>1 1</size></quad></decal>
</decals>)";

class DecalManagerTest : public testing::Test
{
protected:
    DecalManagerTest()
    {
        mFolder.write("decals.xml", DEFINITIONS);
        for (const char* material : {"marks", "blood", "stain"})
            Ogre::MaterialManager::getSingleton().create(material, Ogre::RGN_DEFAULT);
    }
    ~DecalManagerTest() override { Ogre::MaterialManager::getSingleton().removeAll(); }

    Ogre::ManualObject& object() { return *mScene.getManualObject("decals"); }
    // The decal positions drawn in a section: the centre of each quad.
    std::vector<Ogre::Vector3> quadCentres(size_t section)
    {
        test::SectionContents contents = test::readSection(object(), section);
        std::vector<Ogre::Vector3> centres;
        for (size_t v = 0; v + 3 < contents.positions.size(); v += 4)
            centres.push_back((contents.positions[v] + contents.positions[v + 2]) / 2);
        return centres;
    }
    // Enough frame time for the next update to rebuild.
    void rebuild(DecalManager& decals)
    {
        decals.update(1.0f);
        decals.update(0.0f);
    }

    test::LogCapture mLog;
    test::WorkingFolder mFolder;
    test::HeadlessOgre mOgre;
    Ogre::SceneManager& mScene = mOgre.sceneManager();
};

Ogre::Vector3 at(float x)
{
    return Ogre::Vector3(x, 0, 0);
}
} // namespace

TEST_F(DecalManagerTest, QuadsLieInTheirOwnYZPlaneTurnedByTheOrientation)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    // A quarter turn about y maps the decal's x (its normal) to -z and its z to x.
    const Ogre::Quaternion turn(Ogre::Degree(90), Ogre::Vector3::UNIT_Y);
    decals.createDecal("burn", Ogre::Vector3(10, 0, 0), turn);
    rebuild(decals);
    ASSERT_EQ(1u, object().getSections().size());
    test::SectionContents quad = test::readSection(object(), 0);
    ASSERT_EQ(4u, quad.positions.size());
    const Ogre::Vector3 expected[4] = {
        {9.5f, 0.5f, 0}, {10.5f, 0.5f, 0}, {10.5f, -0.5f, 0}, {9.5f, -0.5f, 0}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(expected[i].positionEquals(quad.positions[i], 1e-5f)) << i << ": " << quad.positions[i];
    EXPECT_EQ((std::vector<Ogre::Vector2>{{0.5f, 0}, {1, 0}, {1, 0.5f}, {0.5f, 0.5f}}), quad.uvs);
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1, 0, 3, 2}), quad.indices);
}

TEST_F(DecalManagerTest, TheCapDropsTheOldestDecal)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    EXPECT_EQ(100u, decals.getMaximumDecalCount());
    for (int i = 0; i < 101; ++i)
        decals.createDecal("burn", at(static_cast<float>(i)), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(100u, decals.getDecalCount());
    rebuild(decals);
    std::vector<Ogre::Vector3> drawn = quadCentres(0);
    ASSERT_EQ(100u, drawn.size());
    EXPECT_EQ(at(100), drawn.front());
    EXPECT_EQ(at(1), drawn.back());

    // Lowering the cap drops the oldest at once.
    decals.setMaximumDecalCount(3);
    EXPECT_EQ(3u, decals.getDecalCount());
    rebuild(decals);
    EXPECT_EQ((std::vector<Ogre::Vector3>{at(100), at(99), at(98)}), quadCentres(0));
}

TEST_F(DecalManagerTest, SpacingKeepsOneDecalAndRenewsIt)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.createDecal("hole", at(0), Ogre::Quaternion::IDENTITY);
    decals.createDecal("hole", at(0.4f), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(1u, decals.getDecalCount());
    // Exactly the spacing apart is far enough.
    decals.createDecal("hole", at(0.5f), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(2u, decals.getDecalCount());
    // Another kind is not held back by the spacing.
    decals.createDecal("burn", at(0.1f), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(3u, decals.getDecalCount());

    // The kept decal counts as new, so the cap drops the other one first.
    decals.setMaximumDecalCount(3);
    decals.createDecal("hole", at(-0.1f), Ogre::Quaternion::IDENTITY);
    decals.createDecal("burn", at(7), Ogre::Quaternion::IDENTITY);
    rebuild(decals);
    EXPECT_EQ((std::vector<Ogre::Vector3>{at(7), at(0), at(0.1f)}), quadCentres(0));
}

TEST_F(DecalManagerTest, MaximumZeroTurnsDecalsOff)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.createDecal("burn", at(0), Ogre::Quaternion::IDENTITY);
    decals.createDecal("splash", at(1), Ogre::Quaternion::IDENTITY);
    rebuild(decals);
    decals.setMaximumDecalCount(0);
    EXPECT_EQ(0u, decals.getDecalCount());
    decals.createDecal("burn", at(2), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(0u, decals.getDecalCount());
    rebuild(decals);
    EXPECT_TRUE(quadCentres(0).empty());
    EXPECT_TRUE(quadCentres(1).empty());
}

TEST_F(DecalManagerTest, RebuildsOnlyAfterMoreThanTheInterval)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.update(0.1f);
    decals.update(0.1f);
    decals.createDecal("burn", at(0), Ogre::Quaternion::IDENTITY);
    // 0.2 s have passed, which is not more than the interval.
    decals.update(0.05f);
    EXPECT_EQ(0u, object().getSections().size());
    decals.update(0.0f);
    ASSERT_EQ(1u, object().getSections().size());
    EXPECT_EQ(1u, quadCentres(0).size());

    // Right after a rebuild, a change waits for more than 0.2 s of frame time.
    decals.createDecal("burn", at(5), Ogre::Quaternion::IDENTITY);
    decals.update(0.1f);
    decals.update(0.1f);
    decals.update(0.0f);
    EXPECT_EQ(1u, quadCentres(0).size());
    decals.update(0.01f);
    decals.update(0.0f);
    EXPECT_EQ(2u, quadCentres(0).size());
}

TEST_F(DecalManagerTest, SectionsFollowMaterialsAndOnlyChangedOnesAreRebuilt)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.createDecal("splash", at(1), Ogre::Quaternion::IDENTITY);
    rebuild(decals);
    ASSERT_EQ(1u, object().getSections().size());
    EXPECT_EQ("blood", object().getSections()[0]->getMaterialName());

    decals.createDecal("hole", at(2), Ogre::Quaternion::IDENTITY);
    rebuild(decals);
    ASSERT_EQ(2u, object().getSections().size());
    EXPECT_EQ("marks", object().getSections()[1]->getMaterialName());
    EXPECT_EQ(std::vector<Ogre::Vector3>{at(2)}, quadCentres(1));

    decals.destroyAllDecals();
    EXPECT_EQ(0u, decals.getDecalCount());
    EXPECT_TRUE(quadCentres(0).empty());
    EXPECT_TRUE(quadCentres(1).empty());
}

TEST_F(DecalManagerTest, UnknownKindsAreLoggedAndSkipped)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.createDecal("Hole", at(0), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(0u, decals.getDecalCount());
    EXPECT_EQ(std::vector<std::string>{"E Decal definition not found ('Hole')"}, mLog.errors());
}

TEST_F(DecalManagerTest, DefinitionErrorsThrowWithTheirTexts)
{
    struct TCase
    {
        const char* content;
        const char* text;
    };
    const TCase cases[] = {
        {"<decals><decal>", "Error loading decal definitions: "},
        {"<marks></marks>", "Error loading decal definitions: Root element is 'marks', not 'decals'"},
        {"<decals><decal><name>hole</name><spacing>1</spacing></decal></decals>",
         "No geometry defined for decal 'hole'"},
    };
    for (const TCase& c : cases)
    {
        mFolder.write("decals.xml", c.content);
        DecalManager decals(&mScene, Ogre::Vector3::ZERO);
        try
        {
            decals.initialize();
            ADD_FAILURE() << c.content;
        }
        catch (const Ogre::Exception& e)
        {
            EXPECT_EQ(0u, e.getDescription().find(c.text)) << e.getDescription();
        }
    }
    EXPECT_THROW(
        {
            mFolder.write("decals.xml", "");
            DecalManager decals(&mScene, Ogre::Vector3::ZERO);
            decals.initialize();
        },
        Ogre::FileNotFoundException);
}

TEST_F(DecalManagerTest, MissingDefinitionFileNamesIt)
{
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    std::remove("decals.xml");
    try
    {
        decals.initialize();
        FAIL();
    }
    catch (const Ogre::FileNotFoundException& e)
    {
        EXPECT_EQ("Error loading decal definitions: Unable to open source file 'decals.xml'",
                  e.getDescription());
    }
}

namespace
{
// A triangle in material "stain", in the group of the game's data folder, whose positions, normals and
// texture coordinates each live in a buffer of their own, as exported meshes often have them.
void makeSplitMesh(const std::string& name, bool withNormals, uint16_t lastIndex = 2, size_t normalOffset = 0)
{
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().createManual(name, "default");
    Ogre::SubMesh* sub = mesh->createSubMesh();
    sub->setMaterialName("stain");
    sub->useSharedVertices = false;
    sub->vertexData = new Ogre::VertexData();
    sub->vertexData->vertexCount = 3;
    Ogre::VertexDeclaration* declaration = sub->vertexData->vertexDeclaration;
    Ogre::HardwareBufferManager& buffers = Ogre::HardwareBufferManager::getSingleton();
    const float positions[] = {0, 0, 0, 0, 1, 0, 0, 0, 1};
    const float normals[] = {1, 0, 0, 1, 0, 0, 1, 0, 0};
    const float uvs[] = {0, 0, 1, 0, 0, 1};
    unsigned short source = 0;
    auto bind = [&](Ogre::VertexElementType type, Ogre::VertexElementSemantic semantic, const float* data)
    {
        declaration->addElement(source, semantic == Ogre::VES_NORMAL ? normalOffset : 0, type, semantic);
        Ogre::HardwareVertexBufferSharedPtr buffer = buffers.createVertexBuffer(
            Ogre::VertexElement::getTypeSize(type), 3, Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true);
        buffer->writeData(0, buffer->getSizeInBytes(), data);
        sub->vertexData->vertexBufferBinding->setBinding(source++, buffer);
    };
    bind(Ogre::VET_FLOAT3, Ogre::VES_POSITION, positions);
    if (withNormals)
        bind(Ogre::VET_FLOAT3, Ogre::VES_NORMAL, normals);
    bind(Ogre::VET_FLOAT2, Ogre::VES_TEXTURE_COORDINATES, uvs);
    const uint16_t indices[] = {0, 1, lastIndex};
    sub->indexData->indexCount = 3;
    sub->indexData->indexBuffer = buffers.createIndexBuffer(Ogre::HardwareIndexBuffer::IT_16BIT, 3,
                                                            Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY);
    sub->indexData->indexBuffer->writeData(0, sizeof indices, indices);
    mesh->_setBounds(Ogre::AxisAlignedBox(0, 0, 0, 1, 1, 1));
    mesh->load();
}
} // namespace

TEST_F(DecalManagerTest, MeshDecalsReadEachElementFromItsOwnBuffer)
{
    Ogre::ResourceGroupManager::getSingleton().createResourceGroup("default");
    makeSplitMesh("splat.mesh", true);
    makeSplitMesh("flat.mesh", false);
    makeSplitMesh("broken.mesh", true, 3);
    makeSplitMesh("skewed.mesh", true, 2, 4);
    mFolder.write("decals.xml", "<decals><decal><name>splat</name><mesh>splat.mesh</mesh></decal>"
                                "<decal><name>flat</name><mesh>flat.mesh</mesh></decal>"
                                "<decal><name>broken</name><mesh>broken.mesh</mesh></decal>"
                                "<decal><name>skewed</name><mesh>skewed.mesh</mesh></decal></decals>");
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    // Mesh decals are not scaled, only turned and moved.
    decals.createDecal("splat", Ogre::Vector3(5, 0, 0),
                       Ogre::Quaternion(Ogre::Degree(90), Ogre::Vector3::UNIT_Z));
    rebuild(decals);
    ASSERT_EQ(1u, object().getSections().size());
    EXPECT_EQ("stain", object().getSections()[0]->getMaterialName());
    test::SectionContents splat = test::readSection(object(), 0);
    ASSERT_EQ(3u, splat.positions.size());
    EXPECT_TRUE(Ogre::Vector3(5, 0, 0).positionEquals(splat.positions[0], 1e-5f));
    EXPECT_TRUE(Ogre::Vector3(4, 0, 0).positionEquals(splat.positions[1], 1e-5f)) << splat.positions[1];
    EXPECT_TRUE(Ogre::Vector3(5, 0, 1).positionEquals(splat.positions[2], 1e-5f));
    EXPECT_EQ((std::vector<Ogre::Vector2>{{0, 0}, {1, 0}, {0, 1}}), splat.uvs);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), splat.indices);

    // Without normals a mesh gives no geometry, nor with an index past its vertices or an element
    // that overruns its vertex.
    decals.destroyAllDecals();
    decals.createDecal("flat", Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    decals.createDecal("broken", Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    decals.createDecal("skewed", Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    rebuild(decals);
    EXPECT_TRUE(test::readSection(object(), 0).positions.empty());
    Ogre::MeshManager::getSingleton().removeAll();
}

TEST_F(DecalManagerTest, ShippedDefinitionsLoad)
{
    test::writeFile("decals.xml", test::readFile(test::sourcePath("decals.xml")));
    DecalManager decals(&mScene, Ogre::Vector3::ZERO);
    decals.initialize();
    for (const char* name : {"bloodstain", "scorch", "bullethole"})
        decals.createDecal(name, at(static_cast<float>(decals.getDecalCount() * 10)),
                           Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(3u, decals.getDecalCount());
    EXPECT_TRUE(mLog.errors().empty());
}
