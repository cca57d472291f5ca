#include "gallery.h"

#include <OgreAnimationState.h>
#include <OgreCamera.h>
#include <OgreDataStream.h>
#include <OgreEntity.h>
#include <OgreGpuProgramManager.h>
#include <OgreHardwarePixelBuffer.h>
#include <OgreImage.h>
#include <OgreLogManager.h>
#include <OgreMaterialManager.h>
#include <OgreMeshManager.h>
#include <OgreRenderTexture.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSubEntity.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>

// GLFW's native header wants the X extension headers too; the one call needed is declared here.
extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace assetgen
{
namespace
{
const Ogre::String& GROUP = Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME;
// Tiles are drawn at twice their size and shrunk, which smooths the edges.
const unsigned OVERSAMPLE = 2;
const uint32_t BACKGROUND = 0x20242AFF;
const uint32_t LABEL_COLOUR = 0xD8DCE0FF;

// A 3 x 5 pixel font for the labels: rows from the top, one character per bit, '1' set.
const std::map<char, const char*> GLYPHS = {
    {'a', "010101111101101"}, {'b', "110101110101110"}, {'c', "011100100100011"}, {'d', "110101101101110"},
    {'e', "111100110100111"}, {'f', "111100110100100"}, {'g', "011100101101011"}, {'h', "101101111101101"},
    {'i', "111010010010111"}, {'j', "001001001101010"}, {'k', "101101110101101"}, {'l', "100100100100111"},
    {'m', "101111111101101"}, {'n', "110101101101101"}, {'o', "010101101101010"}, {'p', "110101110100100"},
    {'q', "010101101110011"}, {'r', "110101110101101"}, {'s', "011100010001110"}, {'t', "111010010010010"},
    {'u', "101101101101111"}, {'v', "101101101101010"}, {'w', "101101111111101"}, {'x', "101101010101101"},
    {'y', "101101010010010"}, {'z', "111001010100111"}, {'0', "111101101101111"}, {'1', "010110010010111"},
    {'2', "110001010100111"}, {'3', "110001010001110"}, {'4', "101101111001001"}, {'5', "111100110001110"},
    {'6', "011100110101010"}, {'7', "111001010010010"}, {'8', "010101010101010"}, {'9', "010101011001110"},
    {'.', "000000000000010"}, {'-', "000000111000000"}, {'/', "001001010100100"},
};

void writeLabel(PngImage& image, int x, int y, const std::string& text)
{
    const int scale = 2, advance = 4 * scale;
    for (size_t i = 0; i < text.size(); ++i)
    {
        auto glyph = GLYPHS.find(char(std::tolower(static_cast<unsigned char>(text[i]))));
        if (glyph == GLYPHS.end())
            continue;
        for (int bit = 0; bit < 15; ++bit)
            if (glyph->second[bit] == '1')
                image.fillRectangle(x + int(i) * advance + (bit % 3) * scale, y + (bit / 3) * scale, scale,
                                    scale, LABEL_COLOUR);
    }
}

std::vector<std::string> listMeshes(const std::string& folder)
{
    std::vector<std::string> meshes;
    if (DIR* directory = opendir(folder.c_str()))
    {
        while (dirent* entry = readdir(directory))
        {
            std::string name = entry->d_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".mesh") == 0)
                meshes.push_back(name);
        }
        closedir(directory);
    }
    std::sort(meshes.begin(), meshes.end());
    return meshes;
}
} // namespace

Gallery::Gallery(const std::string& rootFolder) : mRoot(rootFolder) {}

Gallery::~Gallery()
{
    delete mOgre;
    mLogs.reset();
    if (mWindow)
        glfwDestroyWindow(mWindow);
    glfwTerminate();
}

bool Gallery::setUp()
{
    if (!glfwInit())
    {
        std::fprintf(stderr, "gallery: no display for GLFW\n");
        return false;
    }
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    mWindow = glfwCreateWindow(64, 64, "gallery", nullptr, nullptr);
    if (!mWindow)
        return false;

    mLogs = std::make_unique<Ogre::LogManager>();
    mLogs->createLog("gallery-ogre.log", true, false, true);
    mOgre = new Ogre::Root("", "", "");
    mOgre->loadPlugin(std::string(GALLERY_OGRE_PLUGIN_DIR) + "/RenderSystem_GL");
    mOgre->loadPlugin(std::string(GALLERY_OGRE_PLUGIN_DIR) + "/Codec_STBI");
    mOgre->setRenderSystem(mOgre->getAvailableRenderers().at(0));
    mOgre->initialise(false);
    Ogre::NameValuePairList parameters;
    parameters["externalWindowHandle"] = std::to_string(glfwGetX11Window(mWindow));
    mOgre->createRenderWindow("gallery", 64, 64, false, &parameters);

    Ogre::ResourceGroupManager& resources = Ogre::ResourceGroupManager::getSingleton();
    resources.addResourceLocation(mRoot + "/data", "FileSystem", GROUP);
    // The level makes the light-map texture in the game, before the scripts name it; here it
    // is the default one, over an area that takes in every tile.
    Ogre::Image light;
    std::ifstream file(mRoot + "/data/defaultlightmap.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(&bytes[0], bytes.size()));
    light.load(stream, "png");
    Ogre::TextureManager::getSingleton().loadImage("lightmap", GROUP, light);
    resources.initialiseResourceGroup(GROUP);
    Ogre::GpuProgramManager::getSingleton()
        .getSharedParameters("ambient_lightmap")
        ->setNamedConstant("iLightMapDimensions", Ogre::Vector4(-50, -50, 100, 100));
    resources.loadResourceGroup(GROUP);

    mScene = mOgre->createSceneManager();
    mScene->setAmbientLight(Ogre::ColourValue(0.45f, 0.45f, 0.48f));
    Ogre::Light* sun = mScene->createLight("sun");
    sun->setType(Ogre::Light::LT_DIRECTIONAL);
    Ogre::SceneNode* sunNode = mScene->getRootSceneNode()->createChildSceneNode();
    sunNode->setDirection(Ogre::Vector3(-0.4f, -0.8f, -0.5f).normalisedCopy(), Ogre::Node::TS_WORLD);
    sunNode->attachObject(sun);
    sun->setDiffuseColour(0.8f, 0.8f, 0.78f);
    sun->setSpecularColour(0.5f, 0.5f, 0.5f);

    mCamera = mScene->createCamera("gallery");
    mCamera->setNearClipDistance(0.02f);
    mCamera->setFarClipDistance(200);
    mCamera->setFOVy(Ogre::Degree(35));
    mCamera->setAspectRatio(1);
    mCameraNode = mScene->getRootSceneNode()->createChildSceneNode();
    mCameraNode->attachObject(mCamera);

    Ogre::TexturePtr texture = Ogre::TextureManager::getSingleton().createManual(
        "gallerytile", GROUP, Ogre::TEX_TYPE_2D, TILE * OVERSAMPLE, TILE * OVERSAMPLE, 0, Ogre::PF_R8G8B8,
        Ogre::TU_RENDERTARGET);
    mTarget = texture->getBuffer()->getRenderTarget();
    Ogre::Viewport* viewport = mTarget->addViewport(mCamera);
    viewport->setBackgroundColour(Ogre::ColourValue(0x20 / 255.0f, 0x24 / 255.0f, 0x2A / 255.0f));
    viewport->setOverlaysEnabled(false);
    mTarget->setAutoUpdated(false);
    return true;
}

PngImage Gallery::renderTile(Ogre::Entity* entity, bool fixedHumanFrame)
{
    Ogre::Vector3 centre(0, 0, 0);
    float radius = 1.25f;
    if (!fixedHumanFrame)
    {
        const Ogre::AxisAlignedBox& box = entity->getBoundingBox();
        centre = box.getCenter();
        radius = std::max(box.getHalfSize().length(), 0.05f);
    }
    float distance = radius / std::tan(Ogre::Degree(17.5f).valueRadians()) * 1.05f;
    Ogre::Vector3 view = Ogre::Vector3(0.55f, 0.35f, 1.0f).normalisedCopy();
    mCameraNode->setPosition(centre + view * distance);
    mCameraNode->lookAt(centre, Ogre::Node::TS_WORLD);
    // The backdrop spans a hundred times a prop: keep all of it in front of the far plane.
    mCamera->setFarClipDistance(std::max(200.0f, distance + 2 * radius));
    mTarget->update();

    const unsigned size = TILE * OVERSAMPLE;
    std::vector<uint8_t> pixels(size * size * 4);
    Ogre::PixelBox box(size, size, 1, Ogre::PF_BYTE_RGBA, pixels.data());
    mTarget->copyContentsToMemory(Ogre::Box(0, 0, size, size), box);
    PngImage tile(TILE, TILE + LABEL_HEIGHT, BACKGROUND);
    for (unsigned y = 0; y < TILE; ++y)
        for (unsigned x = 0; x < TILE; ++x)
        {
            unsigned sum[3] = {0, 0, 0};
            for (unsigned dy = 0; dy < OVERSAMPLE; ++dy)
                for (unsigned dx = 0; dx < OVERSAMPLE; ++dx)
                {
                    const uint8_t* pixel = &pixels[((y * OVERSAMPLE + dy) * size + x * OVERSAMPLE + dx) * 4];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += pixel[c];
                }
            const unsigned count = OVERSAMPLE * OVERSAMPLE;
            tile.setPixel(int(x), int(y),
                          (sum[0] / count) << 24 | (sum[1] / count) << 16 | (sum[2] / count) << 8 | 0xFF);
        }
    return tile;
}

void Gallery::renderMesh(const std::string& mesh, const std::string& label, const std::string& material,
                         const std::string& animation, float time)
{
    Ogre::Entity* entity = mScene->createEntity(mesh);
    if (!material.empty())
        entity->setMaterialName(material, GROUP);
    // Flashes that fade through their entity's custom parameter show at full strength.
    for (unsigned i = 0; i < entity->getNumSubEntities(); ++i)
        entity->getSubEntity(i)->setCustomParameter(0, Ogre::Vector4(1, 1, 1, 1));
    if (!animation.empty())
    {
        Ogre::AnimationState* state = entity->getAnimationState(animation);
        state->setEnabled(true);
        state->setLoop(false);
        state->setTimePosition(state->getLength() * time);
    }
    Ogre::SceneNode* node = mScene->getRootSceneNode()->createChildSceneNode();
    node->attachObject(entity);
    mTiles.push_back({renderTile(entity, mesh == "human.mesh"), label});
    mScene->destroySceneNode(node);
    mScene->destroyEntity(entity);
}

void Gallery::renderSkinsPicture()
{
    Ogre::Image skins;
    skins.load("skins.png", GROUP);
    PngImage tile(TILE, TILE + LABEL_HEIGHT, BACKGROUND);
    for (unsigned y = 0; y < TILE; ++y)
        for (unsigned x = 0; x < TILE; ++x)
        {
            Ogre::ColourValue colour =
                skins.getColourAt(x * skins.getWidth() / TILE, y * skins.getHeight() / TILE, 0);
            tile.setPixel(int(x), int(y), colour.getAsRGBA() | 0xFF);
        }
    mTiles.push_back({tile, "skins.png"});
}

bool Gallery::render()
{
    if (!setUp())
        return false;
    for (const std::string& mesh : listMeshes(mRoot + "/data"))
        if (mesh != "human.mesh")
            renderMesh(mesh, mesh.substr(0, mesh.size() - 5));
    for (const char* skin : {"default", "securityguard", "militaryguard", "supporter"})
        renderMesh("human.mesh", skin, std::string("skin") + skin);
    renderSkinsPicture();
    for (const char* animation :
         {"walkhigh", "walklow", "standhigh", "standlow", "crouch", "jump", "aimlight", "recoillight",
          "aimheavy", "recoilheavy", "aimblocked", "reload"})
        for (float time : {0.0f, 0.25f, 0.5f, 0.75f})
        {
            // Times as ".25" so the longest label still fits under its tile.
            char label[32];
            std::snprintf(label, sizeof(label), "%s .%02d", animation, int(time * 100));
            renderMesh("human.mesh", label, "", animation, time);
        }
    return true;
}

bool Gallery::save(const std::string& path) const
{
    const unsigned rows = unsigned((mTiles.size() + COLUMNS - 1) / COLUMNS);
    const unsigned height = TILE + LABEL_HEIGHT;
    PngImage sheet(COLUMNS * TILE, rows * height, 0x101214FF);
    for (size_t i = 0; i < mTiles.size(); ++i)
    {
        int x = int(i % COLUMNS * TILE), y = int(i / COLUMNS * height);
        sheet.paste(mTiles[i].image, x, y);
        writeLabel(sheet, x + 2, y + int(TILE) + 1, mTiles[i].label);
        sheet.fillRectangle(x + int(TILE) - 1, y, 1, int(height), 0x101214FF);
    }
    return sheet.save(path);
}
} // namespace assetgen
