#include "game/editor/leveleditor.h"
#include "engine/core/inputmanager.h"
#include "engine/core/ogrescene.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreobjectbuilder.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementselector.h"
#include "game/editor/levelelementtype.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/entitymapsource.h"
#include "game/world/eventdispatcher.h"
#include "toolkit/log.h"

#include <OgreEntity.h>
#include <OgreManualObject.h>
#include <OgreMeshManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace game
{
namespace
{
// GLFW key codes.
enum Key
{
    KEY_SPACE = 32,
    KEY_C = 67,
    KEY_G = 71,
    KEY_L = 76,
    KEY_N = 78,
    KEY_P = 80,
    KEY_R = 82,
    KEY_S = 83,
    KEY_T = 84,
    KEY_Y = 89,
    KEY_Z = 90,
    KEY_TAB = 258,
    KEY_DELETE = 261,
    KEY_RIGHT = 262,
    KEY_LEFT = 263,
    KEY_DOWN = 264,
    KEY_UP = 265,
    KEY_F1 = 290,
    KEY_LEFT_SHIFT = 340,
    KEY_LEFT_CONTROL = 341,
    KEY_LEFT_ALT = 342,
    KEY_RIGHT_SHIFT = 344,
    KEY_RIGHT_CONTROL = 345
};
const int BUTTON_LEFT = 0;
const int BUTTON_RIGHT = 1;

const char* const MESH_GROUP = "default";
const char* const GRID_MESH = "leveleditorgrid";
const char* const CURSOR_MESH = "leveleditorcursor";
const char* const MOVE_CURSOR_MATERIAL = "editormovecursor";
const char* const ROTATE_CURSOR_MATERIAL = "editorrotatecursor";
// The grid's lines are this far apart and reach as far as the cursor can go.
const float GRID_SPACING = 5.0f;
const float CURSOR_SIZE = 3.0f;
const float LINK_HALF_WIDTH = 0.1f;

struct TMarker
{
    const char* name;
    const char* mesh;
    bool developer;
};
const TMarker MARKERS[] = {
    {"spstart", "holocubespstart.mesh", false}, {"mpstart", "holocubempstart.mesh", false},
    {"exit", "holocubeexit.mesh", false},       {"checkpoint", "holocubecheckpoint.mesh", false},
    {"hint", "holocubetrigger.mesh", true},     {"sound", "holocubetrigger.mesh", true}};

struct TEditorLight
{
    const char* name;
    Ogre::Vector3 position;
    Ogre::ColourValue diffuse;
    Ogre::ColourValue specular;
};
const TEditorLight LIGHTS[] = {{"editor_light_left", Ogre::Vector3(-50.0f, 10.0f, 20.0f),
                                Ogre::ColourValue(0.9f, 0.9f, 0.9f), Ogre::ColourValue(0.7f, 0.7f, 0.7f)},
                               {"editor_light_right", Ogre::Vector3(50.0f, 10.0f, 20.0f),
                                Ogre::ColourValue(0.5f, 0.5f, 0.5f), Ogre::ColourValue(0.3f, 0.3f, 0.3f)}};
const Ogre::ColourValue AMBIENT_LIGHT(0.2f, 0.2f, 0.2f);
const float LIGHT_RANGE = 1000.0f;

// The help pictures, in screen units: their width, inset from the sides and bottom.
const char* const HELP_LEFT_MATERIAL = "editinfoleft";
const char* const HELP_RIGHT_MATERIAL = "editinforight";
const unsigned HELP_QUEUE = 100;
const float HELP_INSET = 0.1f;
const float HELP_WIDTH = 0.6f;
const float HELP_BOTTOM = -0.9f;
const float HELP_HEIGHT = 0.3f;

// The camera while the palette is open, from the cursor.
const Ogre::Vector3 PALETTE_VIEW_OFFSET(0.0f, 8.0f, 30.0f);

const char* const START_SINGLE = "spstart";
const char* const START_MULTI = "mpstart";

// The modifier bit a key stands for, 0 for other keys.
unsigned getModifier(int key)
{
    switch (key)
    {
    case KEY_LEFT_SHIFT:
        return LevelEditor::MOD_LEFT_SHIFT;
    case KEY_RIGHT_SHIFT:
        return LevelEditor::MOD_RIGHT_SHIFT;
    case KEY_LEFT_CONTROL:
        return LevelEditor::MOD_LEFT_CTRL;
    case KEY_RIGHT_CONTROL:
        return LevelEditor::MOD_RIGHT_CTRL;
    case KEY_C:
        return LevelEditor::MOD_KEY_C;
    case KEY_LEFT_ALT:
        return LevelEditor::MOD_LEFT_ALT;
    default:
        return 0;
    }
}

std::string formatGrid(float size)
{
    std::ostringstream text;
    text << std::setprecision(6) << size;
    return text.str();
}

std::string formatPair(const char* label, float x, float y)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << label << ": [" << x << ", " << y << "]";
    return text.str();
}

// The distance of a point from the line of a ray.
float distanceFromRay(const Ogre::Ray& ray, const Ogre::Vector3& point)
{
    const Ogre::Vector3 offset = point - ray.getOrigin();
    return (offset - ray.getDirection() * offset.dotProduct(ray.getDirection())).length();
}
} // namespace

constexpr float LevelEditor::GRID_SIZES[3];
const char* const LevelEditor::DEFAULT_TYPE = "techfloor";

LevelEditor::LevelEditor(Ogre::SceneManager* sceneManager, Ogre::SceneNode* rootNode, bool developer)
    : mSceneManager(sceneManager), mRootNode(rootNode->createChildSceneNode()), mDeveloper(developer),
      mFoundAmbientLight(sceneManager->getAmbientLight())
{
    // Without an input manager the editor is driven directly and always hears its input; with
    // one it hears it once its group is enabled, which the registration tells at once.
    brix::InputManager* input = brix::InputManager::getSingletonPtr();
    mListening = !input;
    if (input)
        input->addListener(this, INPUT_GROUP);
}

LevelEditor::~LevelEditor()
{
    if (brix::InputManager* input = brix::InputManager::getSingletonPtr())
        input->removeListener(this);
    if (mPreviewRunning)
        stopPreview();
    removeLights();
    // The scene goes back to the light it had: the editor's ambient light would show the menu's
    // background and light every level played after it.
    mSceneManager->setAmbientLight(mFoundAmbientLight);
    mSelector.reset();
    mHistory.reset();
    mPreviewElement.reset();
    mLayer.reset();
    const std::pair<Ogre::SceneNode*, Ogre::MovableObject*> nodes[] = {{mGridNode, mGridEntity},
                                                                       {mSelectionNode, mSelectionEntity},
                                                                       {mCursorNode, mCursorEntity},
                                                                       {mHelpNode, mHelpObject}};
    for (const auto& node : nodes)
        if (node.first)
        {
            mSceneManager->destroyMovableObject(node.second);
            mSceneManager->destroySceneNode(node.first);
        }
    mSceneManager->destroySceneNode(mRootNode);
    mTypes.clear();
    if (mLevel)
        mLevel->clear();
    if (mView)
        mView->resetView();
}

void LevelEditor::createMeshes()
{
    Ogre::MeshManager& meshes = Ogre::MeshManager::getSingleton();
    if (meshes.resourceExists(GRID_MESH, MESH_GROUP))
        return;
    Ogre::ManualObject object("leveleditormeshes");

    object.begin("editorgrid", Ogre::RenderOperation::OT_LINE_LIST, MESH_GROUP);
    for (float at = -CURSOR_LIMIT; at <= CURSOR_LIMIT; at += GRID_SPACING)
    {
        object.position(at, -CURSOR_LIMIT, 0.0f);
        object.position(at, CURSOR_LIMIT, 0.0f);
        object.position(-CURSOR_LIMIT, at, 0.0f);
        object.position(CURSOR_LIMIT, at, 0.0f);
    }
    object.end();
    object.convertToMesh(GRID_MESH, MESH_GROUP);
    object.clear();

    object.begin("editorselection", Ogre::RenderOperation::OT_LINE_LIST, MESH_GROUP);
    for (int axis = 0; axis < 3; ++axis)
        for (int corner = 0; corner < 4; ++corner)
        {
            Ogre::Vector3 from, to;
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            from[axis] = -0.5f;
            to[axis] = 0.5f;
            from[u] = to[u] = (corner & 1) ? 0.5f : -0.5f;
            from[v] = to[v] = (corner & 2) ? 0.5f : -0.5f;
            object.position(from);
            object.position(to);
        }
    object.end();
    object.convertToMesh(LevelElementPosition::SELECTION_MESH, MESH_GROUP);
    object.clear();

    object.begin("editorlink", Ogre::RenderOperation::OT_LINE_STRIP, MESH_GROUP);
    object.position(0.0f, LINK_HALF_WIDTH, 0.0f);
    object.position(1.0f, LINK_HALF_WIDTH, 0.0f);
    object.position(1.0f, -LINK_HALF_WIDTH, 0.0f);
    object.position(0.0f, -LINK_HALF_WIDTH, 0.0f);
    object.position(0.0f, LINK_HALF_WIDTH, 0.0f);
    object.end();
    object.convertToMesh(LevelElementPosition::LINK_MESH, MESH_GROUP);
    object.clear();

    // Two-sided: the front faces +z, the back the other way.
    const float half = CURSOR_SIZE / 2.0f;
    object.begin(MOVE_CURSOR_MATERIAL, Ogre::RenderOperation::OT_TRIANGLE_LIST, MESH_GROUP);
    for (float side : {1.0f, -1.0f})
    {
        const Ogre::Vector3 corners[4] = {
            {-half, -half, 0.0f}, {half, -half, 0.0f}, {half, half, 0.0f}, {-half, half, 0.0f}};
        const Ogre::Vector2 uvs[4] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};
        for (int i = 0; i < 4; ++i)
        {
            object.position(corners[i]);
            object.normal(0.0f, 0.0f, side);
            object.textureCoord(uvs[i]);
        }
    }
    object.triangle(0, 1, 2);
    object.triangle(0, 2, 3);
    object.triangle(4, 6, 5);
    object.triangle(4, 7, 6);
    object.end();
    object.convertToMesh(CURSOR_MESH, MESH_GROUP);
}

Ogre::SceneNode* LevelEditor::createMeshNode(const char* mesh, Ogre::Entity*& entity)
{
    Ogre::SceneNode* node = mRootNode->createChildSceneNode();
    entity = mSceneManager->createEntity(Ogre::MeshManager::getSingleton().getByName(mesh, MESH_GROUP));
    node->attachObject(entity);
    return node;
}

void LevelEditor::initialize(Level* level, PlayerManager* players, EntityManager* entities, View* view,
                             brix::MessageDisplay* messages, EventDispatcher* events)
{
    mLevel = level;
    mPlayers = players;
    mEntities = entities;
    mView = view;
    mMessages = messages;
    mEvents = events;
    mMapSource = std::make_unique<EntityMapSource>(*entities);

    createMeshes();

    std::vector<std::string> names;
    level->getBlockNames(names);
    for (const std::string& name : names)
        if (const Block* block = level->getBlock(name))
        {
            auto type = std::make_unique<LevelElementType>(block);
            mTypes[type->getName()] = std::move(type);
        }
    names.clear();
    entities->getPrototypeNames("", names, true);
    for (const std::string& name : names)
    {
        const Entity* prototype = entities->getPrototype(name);
        if (prototype->getFlags() & Entity::ATTRIBUTE_EDITHIDE)
            continue;
        // Prototypes that show nothing (explosions, projectiles...) cannot be placed.
        if (!prototype->getMesh())
        {
            brix::Log::info("Entity prototype '%s' has no mesh, not offered in the editor", name.c_str());
            continue;
        }
        auto type = std::make_unique<LevelElementType>(prototype);
        mTypes[type->getName()] = std::move(type);
    }
    for (const TMarker& marker : MARKERS)
        mTypes[marker.name] = std::make_unique<LevelElementType>(
            marker.name, Ogre::MeshManager::getSingleton().load(marker.mesh, MESH_GROUP));

    mSelector = std::make_unique<LevelElementSelector>(mRootNode);
    for (const auto& entry : mTypes)
    {
        bool developerOnly = false;
        for (const TMarker& marker : MARKERS)
            developerOnly |= marker.developer && entry.first == marker.name;
        if (mDeveloper || !developerOnly)
            mSelector->addType(entry.second.get());
    }
    mSelector->arrange();

    // Without the usual floor block the editor starts with the first type of the palette.
    mCurrentType = getType(DEFAULT_TYPE);
    if (!mCurrentType)
    {
        mCurrentType = mSelector->getTypes().front();
        brix::Log::info("Block '%s' not found, the editor starts with '%s'", DEFAULT_TYPE,
                        mCurrentType->getName().c_str());
    }

    mCursorNode = createMeshNode(CURSOR_MESH, mCursorEntity);
    mSelectionNode = createMeshNode(LevelElementPosition::SELECTION_MESH, mSelectionEntity);
    mGridNode = createMeshNode(GRID_MESH, mGridEntity);
    mHelpNode = mRootNode->createChildSceneNode();
    mHelpObject = mSceneManager->createManualObject();
    mHelpObject->setRenderQueueGroup(HELP_QUEUE);
    mHelpObject->setUseIdentityProjection(true);
    mHelpObject->setUseIdentityView(true);
    Ogre::AxisAlignedBox infinite;
    infinite.setInfinite();
    mHelpObject->setBoundingBox(infinite);
    mHelpNode->attachObject(mHelpObject);
    mSelectionNode->setVisible(false);
    mHelpNode->setVisible(false);

    mLayer = std::make_unique<LevelElementLayer>(mRootNode);
    mPreviewElement = std::make_unique<LevelElement>(mLayer.get(), mCurrentType);
    mPreviewElement->reset(mCurrentType, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    mPreviewElement->setPreview(true);

    mHistory = std::make_unique<LevelHistory>(HISTORY_SLOTS);
    setupLights(false);
    updateCursor();
}

const LevelElementType* LevelEditor::getType(const std::string& name) const
{
    auto found = mTypes.find(name);
    return found == mTypes.end() ? nullptr : found->second.get();
}

void LevelEditor::message(const std::string& text, bool keep)
{
    if (mMessages)
        mMessages->writeMessage(text, keep);
}

void LevelEditor::removeLights()
{
    for (const TEditorLight& setting : LIGHTS)
        if (mSceneManager->hasLight(setting.name))
        {
            Ogre::Light* light = mSceneManager->getLight(setting.name);
            Ogre::SceneNode* node = light->getParentSceneNode();
            mSceneManager->destroyLight(light);
            if (node)
                mSceneManager->destroySceneNode(node);
        }
}

void LevelEditor::setupLights(bool preview)
{
    removeLights();
    if (preview)
        return;
    mSceneManager->setAmbientLight(AMBIENT_LIGHT);
    for (const TEditorLight& setting : LIGHTS)
    {
        Ogre::Light* light = mSceneManager->createLight(setting.name);
        light->setType(Ogre::Light::LT_POINT);
        Ogre::SceneNode* node = mRootNode->createChildSceneNode();
        node->setPosition(setting.position);
        node->attachObject(light);
        light->setDiffuseColour(setting.diffuse);
        light->setSpecularColour(setting.specular);
        brix::OgreScene::setLightRange(light, LIGHT_RANGE);
    }
}

void LevelEditor::buildHelp()
{
    brix::OgreObjectBuilder builder(mHelpObject, LevelElementSelector::FONT, LevelElementSelector::SOLID_UV,
                                    LevelElementSelector::EDGE_UV1, LevelElementSelector::EDGE_UV2);
    const float inset = HELP_INSET / mAspectRatio;
    const float top = HELP_HEIGHT * mAspectRatio + HELP_BOTTOM;
    const std::pair<const char*, float> pictures[] = {{HELP_LEFT_MATERIAL, inset - 1.0f},
                                                      {HELP_RIGHT_MATERIAL, 1.0f - inset - HELP_WIDTH}};
    for (const auto& picture : pictures)
    {
        builder.begin(picture.first, false);
        builder.addImage(Ogre::Vector3(picture.second, top, 0.0f),
                         Ogre::Vector3(picture.second + HELP_WIDTH, HELP_BOTTOM, 0.0f), Ogre::Vector2::ZERO,
                         Ogre::Vector2::UNIT_SCALE, Ogre::ColourValue::White);
        builder.end();
    }
    mHelpBuilt = true;
}

void LevelEditor::setHelpVisible(bool visible)
{
    if (!mHelpNode)
        return;
    // Built when first shown: a run that never shows it needs no font.
    if (visible && !mHelpBuilt)
        buildHelp();
    mHelpNode->setVisible(visible);
}

Ogre::Vector3 LevelEditor::getCursorNodePosition() const
{
    if (mDragState == DRAG_IDLE)
        return Ogre::Vector3(mCursor.x, mCursor.y, 0.0f);
    switch (mDragKind)
    {
    case DRAG_MOVE_DEPTH:
        return Ogre::Vector3(mCursor.x, mDragStart.y, 0.0f);
    case DRAG_ROTATE_Z:
    case DRAG_ROTATE_Y:
        return Ogre::Vector3(mDragStart.x, mDragStart.y, 0.0f);
    default:
        return Ogre::Vector3(mCursor.x, mCursor.y, 0.0f);
    }
}

void LevelEditor::updateCursor()
{
    const bool paletteOpen = mSelector->isVisible();
    // The placement preview stays out of a play preview.
    if (mPlacementMode && !paletteOpen && !mPreviewRunning)
    {
        if (mPreviewElement->getType() != mCurrentType)
            mPreviewElement->reset(mCurrentType, Ogre::Vector3::ZERO, mCurrentType->getRandomOrientation());
        const Ogre::Vector3 place(mCursor.x, mCursor.y, mCurrentType->getDefaultDepth());
        mPreviewElement->getPosition(0)->setPosition(
            mCurrentType->snapPosition(place, Ogre::Quaternion::IDENTITY, getGrid()), false);
        mPreviewElement->setVisible(true);
    }
    else
        mPreviewElement->setVisible(false);

    mCursorNode->setPosition(getCursorNodePosition());
    const bool dragging = mDragState != DRAG_IDLE;
    const bool depthCursor = (!mPlacementMode && isAltHeld() && !dragging) || mDragKind == DRAG_MOVE_DEPTH ||
                             mDragKind == DRAG_ROTATE_Y;
    mCursorNode->setOrientation(depthCursor ? Ogre::Quaternion(Ogre::Degree(90.0f), Ogre::Vector3::UNIT_X)
                                            : Ogre::Quaternion::IDENTITY);
    const bool rotating = !mPlacementMode && (mDragKind == DRAG_ROTATE_Z || mDragKind == DRAG_ROTATE_Y ||
                                              (!dragging && isShiftHeld()));
    mCursorEntity->setMaterialName(rotating ? ROTATE_CURSOR_MATERIAL : MOVE_CURSOR_MATERIAL, MESH_GROUP);
    // The cursor is drawn only while it answers: not over a preview, its results or a menu.
    mCursorNode->setVisible(mListening && !mPreviewRunning);
    mGridNode->setVisible(!mPreviewRunning && !paletteOpen);
    mPreviewElement->updateDisplay();
}

Ogre::Vector3 LevelEditor::getCameraTarget() const
{
    const Ogre::Vector3 cursor = mCursorNode ? mCursorNode->getPosition() : getCursorNodePosition();
    return Ogre::Vector3(cursor.x, cursor.y, 0.0f);
}

Ogre::Vector3 LevelEditor::getCameraPosition() const
{
    if (mSelector && mSelector->isVisible())
        return getCameraTarget() + PALETTE_VIEW_OFFSET;
    const Ogre::Quaternion turn = Ogre::Quaternion(Ogre::Radian(mCameraYaw), Ogre::Vector3::UNIT_Y) *
                                  Ogre::Quaternion(Ogre::Radian(mCameraPitch), Ogre::Vector3::UNIT_X);
    return getCameraTarget() + turn * Ogre::Vector3(0.0f, 0.0f, mCameraDistance);
}

void LevelEditor::updateCamera()
{
    if (mView)
        mView->setFixedView(getCameraPosition(), getCameraTarget());
}

void LevelEditor::update()
{
    if (mGeneratingMaps && mLevel->getMapGeneratorCount() == 0)
    {
        message("Level light/sound map ready");
        mGeneratingMaps = false;
        mLightMapStale = false;
    }
    if (mSelector->isVisible())
        mSelector->update(mCursor);
    updateCamera();
    mEntities->updateEntityActivation(true);
}

void LevelEditor::startPreview()
{
    storeLevelPoints();
    // The preview plays the level as it is now: its box and body follow the blocks.
    mLevel->updateBoundingBox();
    mLevel->createBodyTemplate();
    setupLights(true);
    mLayer->setVisible(false);
    mLayer->updateDisplay();
    mPreviewRunning = true;
    const bool started = mPlayers && mPlayers->startMatch(mLevel->getName(), 0, true, true) &&
                         (!mPreviewHost || mPreviewHost->attachPreviewPlayer());
    if (!started)
    {
        message("Unable to start level preview, see application.log for details");
        stopPreview();
    }
}

void LevelEditor::stopPreview()
{
    if (mPreviewHost && mPreviewRunning)
        mPreviewHost->detachPreviewPlayer();
    if (mPlayers)
        mPlayers->endMatch();
    mLayer->setVisible(true);
    mLayer->updateDisplay();
    setupLights(false);
    mPreviewRunning = false;
    updateCursor();
}

void LevelEditor::regenerateMaps()
{
    stopPreview();
    storeLevelPoints();
    mLevel->updateBoundingBox();
    mLevel->createBodyTemplate();
    if (mLevel->generateLightMap(mMapSource.get()) && mLevel->generateSoundMap(mMapSource.get()))
    {
        message("Regenerating level light and sound maps..");
        mGeneratingMaps = true;
    }
}

void LevelEditor::openPalette()
{
    mSavedCursor = mCursor;
    mSelector->open(mCursor, mCurrentType);
    mSelector->setVisible(true);
    mLayer->setVisible(false);
    updateCursor();
    mLayer->updateDisplay();
    mLevel->useDefaultLightMap();
}

void LevelEditor::closePalette()
{
    mCursor = mSavedCursor;
    mSelector->setVisible(false);
    mLayer->setVisible(true);
    updateCursor();
    mLayer->updateDisplay();
    mLevel->reloadLightMapTexture();
}

void LevelEditor::storeElements(std::vector<LevelPoint>& points) const
{
    points.clear();
    std::vector<LevelElement*> elements;
    mLayer->collectElements(elements);
    points.reserve(elements.size() + mCarriedPoints.size());
    for (const LevelElement* element : elements)
    {
        LevelPoint point;
        point.type = static_cast<unsigned>(element->getType()->getKind());
        point.name = element->getType()->getName();
        point.orientation = element->getOrientation();
        for (unsigned i = 0; i < element->getPositionCount(); ++i)
            point.positions.push_back(element->getPosition(i)->getPosition());
        point.state = element->getState();
        point.value = element->getValue();
        points.push_back(std::move(point));
    }
}

void LevelEditor::storeLevelPoints()
{
    std::vector<LevelPoint>& points = mLevel->getPoints();
    storeElements(points);
    points.insert(points.end(), mCarriedPoints.begin(), mCarriedPoints.end());
}

void LevelEditor::rebuildElements(const std::vector<LevelPoint>& points, std::vector<LevelPoint>* unknown)
{
    mLayer->clear();
    for (const LevelPoint& point : points)
    {
        const LevelElementType* type = getType(point.name);
        if (!type || point.positions.empty())
        {
            brix::Log::info("Ignoring bad level entity reference '%s'",
                            brix::PeerText::forLog(point.name).c_str());
            // A point the editor cannot show is written back as it came; one without any
            // position cannot be placed or written.
            if (unknown)
                unknown->push_back(point);
            continue;
        }
        LevelElement* element = mLayer->createElement(type, point.positions.front(), point.orientation);
        for (size_t i = 1; i < point.positions.size(); ++i)
            element->addPosition(point.positions[i]);
        element->setState(point.state);
        element->setValue(point.value);
    }
}

void LevelEditor::loadElements(const std::vector<LevelPoint>& points)
{
    std::vector<LevelPoint> unknown;
    rebuildElements(points, &unknown);
    mCarriedPoints.clear();
    for (const LevelPoint& point : unknown)
        if (!point.positions.empty())
            mCarriedPoints.push_back(point);
    if (!unknown.empty())
        message("Warning: Ignored " + std::to_string(unknown.size()) + " bad entity references in level");
}

void LevelEditor::newLevel(const std::string& name)
{
    mLevel->load(name, true);
    mLevel->updateBoundingBox();
    loadElements(mLevel->getPoints());
    stopPreview();
    mHistory->clear();
    pushHistory();
    mLightMapStale = true;
    message("Created new level '" + name + "'");
}

bool LevelEditor::loadLevel(const std::string& name)
{
    if (!mLevel->load(name, false))
        return false;
    mLevel->updateBoundingBox();
    loadElements(mLevel->getPoints());
    stopPreview();
    mHistory->clear();
    pushHistory();
    mLightMapStale = !mLevel->hasLightMap();
    message("Loaded level '" + name + "' for editing");
    return true;
}

void LevelEditor::saveLevel()
{
    std::vector<LevelElement*> elements;
    mLayer->collectElements(elements);
    unsigned singleStarts = 0, multiStarts = 0, dynamic = 0;
    Ogre::AxisAlignedBox walls;
    for (const LevelElement* element : elements)
    {
        const LevelElementType* type = element->getType();
        if (type->getKind() == LevelElementType::KIND_SPECIAL && type->getName() == START_SINGLE)
            ++singleStarts;
        if (type->getKind() == LevelElementType::KIND_SPECIAL && type->getName() == START_MULTI)
            ++multiStarts;
        if (!type->isStatic())
            ++dynamic;
        if (type->getKind() == LevelElementType::KIND_BLOCK)
            walls.merge(element->getPosition(0)->getPosition());
    }
    // With no blocks the walls are OGRE's null box, whose stored corners are +-0.5.
    const Ogre::Vector3 low = walls.getMinimum(), high = walls.getMaximum();
    bool outside = false;
    for (const LevelElement* element : elements)
        if (!element->getType()->isStatic())
            for (unsigned i = 0; i < element->getPositionCount(); ++i)
            {
                const Ogre::Vector3& p = element->getPosition(i)->getPosition();
                outside |= p.x < low.x || p.x > high.x || p.y < low.y || p.y > high.y;
            }

    if (singleStarts == 0 && multiStarts == 0)
        message("Warning: No start points defined in level!");
    if (dynamic > mEntities->getDynamicEntityCapacity() * DYNAMIC_SHARE_NUMERATOR / DYNAMIC_SHARE_DENOMINATOR)
        message("Warning: Too many dynamic entities in level!");
    if (outside)
        message("Warning: Dynamic entities outside outer walls!");
    if (mLevel->getTitle().empty())
        message("Warning: No title set for level!");
    if (mLightMapStale)
        message("Warning: Light map might not be up-to-date (press L -key to regenerate light map)");

    storeLevelPoints();
    if (mLevel->save())
    {
        // What the cache holds of the level (its checksum keys the level's scores, a preview's
        // among them) is the file's as written now.
        mLevel->getLevelCache()->refresh(mLevel->getName());
        message("Level '" + mLevel->getName() + "' successfully saved");
    }
    else
        message("Level file saving failed!");
}

void LevelEditor::pushHistory()
{
    std::vector<LevelPoint> points;
    storeElements(points);
    mHistory->push(points);
}

void LevelEditor::changed()
{
    pushHistory();
    mLightMapStale = true;
}

void LevelEditor::restoreHistory(bool redo)
{
    std::vector<LevelPoint> points;
    if (!(redo ? mHistory->redo(points) : mHistory->undo(points)))
        return;
    rebuildElements(points, nullptr);
    mLayer->updateDisplay();
    mLightMapStale = true;
}

void LevelEditor::onListenerEnable(bool enabled)
{
    mListening = enabled;
    if (!mLayer)
        return;
    // Either shows or hides the cursor.
    if (enabled)
        updateCursor();
    else
        cancelDrag();
}

void LevelEditor::onKeyPress(brix::KeyCode key, unsigned int)
{
    if (key == 0 || !mLayer)
        return;
    const unsigned modifier = getModifier(key);
    mModifiers |= modifier;
    if (modifier & (MOD_LEFT_SHIFT | MOD_RIGHT_SHIFT | MOD_LEFT_ALT))
        updateCursor();

    if (mSelector->isVisible())
    {
        if (key == KEY_TAB)
            closePalette();
        return;
    }
    if (mPreviewRunning)
    {
        if (key == KEY_P)
            stopPreview();
        return;
    }
    const bool idle = mDragState == DRAG_IDLE;
    switch (key)
    {
    case KEY_SPACE:
        if (idle)
        {
            mPlacementMode = !mPlacementMode;
            updateCursor();
        }
        break;
    case KEY_TAB:
        if (idle)
            openPalette();
        break;
    case KEY_P:
        if (!idle)
            break;
        if (mGeneratingMaps)
            message("Level preview not available while light/sound map is being generated");
        else
            startPreview();
        updateCursor();
        break;
    case KEY_DELETE:
        if (idle)
            deleteSelected();
        break;
    case KEY_G:
        if (idle)
            cycleGrid();
        break;
    case KEY_L:
        if (idle && !mGeneratingMaps)
            regenerateMaps();
        break;
    case KEY_R:
        reset();
        break;
    case KEY_RIGHT:
        step(1, 0);
        break;
    case KEY_LEFT:
        step(-1, 0);
        break;
    case KEY_UP:
        step(0, 1);
        break;
    case KEY_DOWN:
        step(0, -1);
        break;
    case KEY_T:
        if (idle)
            addPosition();
        break;
    case KEY_S:
        if (idle)
            nextState();
        break;
    case KEY_Z:
        if (idle && isCommandHeld())
            restoreHistory(isShiftHeld());
        break;
    case KEY_Y:
        if (idle && isCommandHeld())
            restoreHistory(true);
        break;
    case KEY_N:
        if (idle)
            centreLevel();
        break;
    case KEY_F1:
        if (mEvents)
            mEvents->post(EventDispatcher::ToggleHelp, 0, 0, "");
        break;
    }
}

void LevelEditor::onKeyRelease(brix::KeyCode key)
{
    const unsigned modifier = getModifier(key);
    mModifiers &= ~modifier;
    if (mLayer && (modifier & (MOD_LEFT_SHIFT | MOD_RIGHT_SHIFT | MOD_LEFT_ALT)))
        updateCursor();
}

void LevelEditor::onMouseMove(const Ogre::Vector4& motion)
{
    // A running preview hears only its stop key.
    if (!mLayer || mPreviewRunning)
        return;
    if (isCommandHeld() && !mSelector->isVisible())
    {
        const float halfTurn = Ogre::Math::HALF_PI;
        mCameraDistance =
            Ogre::Math::Clamp(mCameraDistance - ZOOM_SPEED * motion.w, MIN_DISTANCE, MAX_DISTANCE);
        mCameraYaw = Ogre::Math::Clamp(mCameraYaw - motion.x * ORBIT_SPEED, -halfTurn, halfTurn);
        mCameraPitch = Ogre::Math::Clamp(mCameraPitch - motion.y * ORBIT_SPEED, -halfTurn, halfTurn);
        return;
    }
    if (motion == Ogre::Vector4::ZERO)
        return;
    mCursor.x = Ogre::Math::Clamp(mCursor.x + motion.x / POINTER_SCALE, -CURSOR_LIMIT, CURSOR_LIMIT);
    mCursor.y = Ogre::Math::Clamp(mCursor.y - motion.y / POINTER_SCALE, -CURSOR_LIMIT, CURSOR_LIMIT);
    if (!mPlacementMode && mDragState == DRAG_ACTIVE)
        message(formatPair("Offset", mCursor.x - mDragStart.x, mCursor.y - mDragStart.y), false);
    else
        message(formatPair("Position", mCursor.x, mCursor.y), false);
    if (mDragState != DRAG_IDLE)
        updateDrag();
    if (mPlacementMode && mDragState == DRAG_IDLE && motion.w != 0.0f)
        mCurrentType = mSelector->cycleType(mCurrentType, static_cast<int>(motion.w));
    updateCursor();
}

void LevelEditor::pick(std::vector<LevelElementPosition*>& hits) const
{
    const Ogre::Vector3 direction = (getCameraTarget() - getCameraPosition()).normalisedCopy();
    const Ogre::Ray ray(mCursorNode->getPosition() - direction * PICK_DISTANCE, direction);
    mLayer->pickRay(ray, hits);
    std::stable_sort(
        hits.begin(), hits.end(),
        [&](const LevelElementPosition* a, const LevelElementPosition* b)
        { return distanceFromRay(ray, a->getPosition()) < distanceFromRay(ray, b->getPosition()); });
}

void LevelEditor::onMouseButtonPress(brix::MouseButton button)
{
    if (button != BUTTON_LEFT || !mLayer || mSelector->isVisible() || mPreviewRunning)
        return;
    mSuppressClick = false;
    if (mPlacementMode)
    {
        startDrag(DRAG_CURSOR);
        return;
    }
    std::vector<LevelElementPosition*> hits;
    pick(hits);
    const bool onSelection = std::any_of(hits.begin(), hits.end(),
                                         [](const LevelElementPosition* hit) { return hit->isSelected(); });
    if (!onSelection)
        startDrag(DRAG_BOX);
    else if (isShiftHeld())
        startDrag(isAltHeld() ? DRAG_ROTATE_Y : DRAG_ROTATE_Z);
    else
        startDrag(isAltHeld() ? DRAG_MOVE_DEPTH : DRAG_MOVE);
}

void LevelEditor::onMouseButtonRelease(brix::MouseButton button)
{
    if (!mLayer)
        return;
    if (mSelector->isVisible())
    {
        // A left click places next, the hovered type or, off the previews, the current one.
        if (button == BUTTON_LEFT)
        {
            if (const LevelElementType* hovered = mSelector->getSelectedType())
                mCurrentType = hovered;
            mPlacementMode = true;
        }
        closePalette();
        return;
    }
    if (mPreviewRunning)
        return;
    if (button == BUTTON_RIGHT)
    {
        if (mDragState != DRAG_IDLE)
            cancelDrag();
        else
            openPalette();
        return;
    }
    if (button != BUTTON_LEFT)
        return;
    if (mDragState == DRAG_ACTIVE)
        finishDrag();
    else if (mSuppressClick)
        cancelDrag();
    else
    {
        cancelDrag();
        if (mPlacementMode)
            placeElement();
        else
        {
            std::vector<LevelElementPosition*> hits;
            pick(hits);
            applyPick(hits, false, isShiftHeld());
        }
    }
    mSuppressClick = false;
}

void LevelEditor::applyPick(const std::vector<LevelElementPosition*>& hits, bool add, bool toggle)
{
    if (add)
    {
        if (!toggle)
            mLayer->setSelected(false);
        for (LevelElementPosition* hit : hits)
            hit->setSelected(true);
    }
    else if (hits.empty())
    {
        if (!toggle)
            mLayer->setSelected(false);
    }
    else if (!toggle)
    {
        unsigned selected = 0;
        size_t last = 0;
        for (size_t i = 0; i < hits.size(); ++i)
            if (hits[i]->isSelected())
            {
                ++selected;
                last = i;
            }
        LevelElementPosition* next = selected == 1 ? hits[(last + 1) % hits.size()] : hits.front();
        mLayer->setSelected(false);
        next->setSelected(true);
    }
    else
    {
        const bool anySelected = std::any_of(
            hits.begin(), hits.end(), [](const LevelElementPosition* hit) { return hit->isSelected(); });
        for (LevelElementPosition* hit : hits)
            hit->setSelected(!anySelected);
    }
    mLayer->updateDisplay();
}

void LevelEditor::startDrag(int kind)
{
    cancelDrag();
    mDragState = DRAG_PENDING;
    mDragKind = kind;
    mDragStart = mCursor;
    updateCursor();
}

float LevelEditor::snapAngle(float distance) const
{
    const float step = mGridSize * ROTATION_STEP_DEGREES;
    const float raw = distance * ROTATION_PER_UNIT;
    if (step == 0.0f)
        return raw;
    const float degrees = Ogre::Radian(raw).valueDegrees();
    return Ogre::Degree(std::floor(degrees / step + 0.5f) * step).valueRadians();
}

void LevelEditor::updateDrag()
{
    const Ogre::Vector2 offset = mCursor - mDragStart;
    if (mDragState == DRAG_PENDING)
    {
        if (offset.length() <= DRAG_THRESHOLD)
            return;
        mDragState = DRAG_ACTIVE;
        if (mDragKind == DRAG_MOVE)
            mLayer->setSnapGrid(Ogre::Vector3(mGridSize, mGridSize, 0.0f));
        else if (mDragKind == DRAG_MOVE_DEPTH)
            mLayer->setSnapGrid(Ogre::Vector3(mGridSize, 0.0f, mGridSize));
        if (mDragKind >= DRAG_MOVE && mDragKind <= DRAG_ROTATE_Y)
        {
            mLayer->beginTransform();
            mLayer->updateDisplay();
        }
    }
    switch (mDragKind)
    {
    case DRAG_BOX:
        mSelectionNode->setPosition(mDragStart.x + offset.x / 2.0f, mDragStart.y + offset.y / 2.0f, 0.0f);
        mSelectionNode->setScale(std::fabs(offset.x), std::fabs(offset.y), BOX_SELECTION_DEPTH);
        mSelectionNode->setVisible(true);
        break;
    case DRAG_MOVE:
        mLayer->transform(Ogre::Vector3(offset.x, offset.y, 0.0f), Ogre::Quaternion::IDENTITY);
        mLayer->updateDisplay();
        break;
    case DRAG_MOVE_DEPTH:
        mLayer->transform(Ogre::Vector3(offset.x, 0.0f, -offset.y), Ogre::Quaternion::IDENTITY);
        mLayer->updateDisplay();
        break;
    case DRAG_ROTATE_Z:
    case DRAG_ROTATE_Y:
        mLayer->transform(Ogre::Vector3::ZERO,
                          Ogre::Quaternion(Ogre::Radian(snapAngle(offset.x)), mDragKind == DRAG_ROTATE_Z
                                                                                  ? Ogre::Vector3::UNIT_Z
                                                                                  : Ogre::Vector3::UNIT_Y));
        mLayer->updateDisplay();
        break;
    }
}

void LevelEditor::endDrag()
{
    if (mDragKind == DRAG_ROTATE_Z || mDragKind == DRAG_ROTATE_Y)
        mCursor = mDragStart;
    else if (mDragKind == DRAG_MOVE_DEPTH)
        mCursor.y = mDragStart.y;
    mLayer->updateDisplay();
}

void LevelEditor::finishDrag()
{
    if (mDragKind == DRAG_BOX)
    {
        const Ogre::Vector3 centre = mSelectionNode->getPosition();
        const Ogre::Vector3 half = mSelectionNode->getScale() / 2.0f;
        std::vector<LevelElementPosition*> hits;
        mLayer->pickBox(Ogre::AxisAlignedBox(centre - half, centre + half), hits);
        applyPick(hits, true, isShiftHeld());
        mSelectionNode->setVisible(false);
    }
    else if (mDragKind == DRAG_CURSOR)
        // The item carried under the cursor is placed where it is let go, as a click places it.
        placeElement();
    else
    {
        mLayer->setSnapGrid(getGrid());
        mLayer->endTransform(true);
        changed();
    }
    endDrag();
    mDragState = DRAG_IDLE;
    mDragKind = DRAG_NONE;
    updateCursor();
}

void LevelEditor::cancelDrag()
{
    if (mDragState == DRAG_ACTIVE)
    {
        if (mDragKind == DRAG_BOX)
            mSelectionNode->setVisible(false);
        else if (mDragKind != DRAG_CURSOR)
        {
            mLayer->setSnapGrid(getGrid());
            mLayer->endTransform(false);
        }
        endDrag();
        mSuppressClick = true;
    }
    mDragState = DRAG_IDLE;
    mDragKind = DRAG_NONE;
    updateCursor();
}

void LevelEditor::placeElement()
{
    const LevelElementPosition* place = mPreviewElement->getPosition(0);
    LevelElement* element =
        mLayer->createElement(mCurrentType, place->getPosition(), mPreviewElement->getOrientation());
    element->updateDisplay();
    mPreviewElement->setOrientation(mCurrentType->getRandomOrientation(), true);
    mPreviewElement->updateDisplay();
    changed();
}

void LevelEditor::deleteSelected()
{
    if (!mLayer->isSelected())
        return;
    mLayer->removeSelected();
    mLayer->updateDisplay();
    updateCursor();
    changed();
}

void LevelEditor::cycleGrid()
{
    const size_t count = sizeof(GRID_SIZES) / sizeof(GRID_SIZES[0]);
    size_t index = 0;
    while (index < count && GRID_SIZES[index] != mGridSize)
        ++index;
    // A size that is not in the cycle starts it over at 0.
    mGridSize = index < count ? GRID_SIZES[(index + 1) % count] : GRID_SIZES[count - 1];
    mLayer->setSnapGrid(getGrid());
    updateCursor();
    message("Grid size: " + formatGrid(mGridSize));
}

void LevelEditor::step(int sx, int sy)
{
    cancelDrag();
    std::vector<LevelElement*> selected;
    mLayer->collectSelectedElements(selected);
    if (mPlacementMode || selected.empty())
        return;
    float distance = mGridSize;
    for (const LevelElement* element : selected)
        distance = std::max(distance, element->getType()->getMinimumStep());
    distance = std::max(distance, MIN_KEY_STEP);

    Ogre::Vector3 translation = Ogre::Vector3::ZERO;
    Ogre::Quaternion rotation = Ogre::Quaternion::IDENTITY;
    if (isShiftHeld())
    {
        const float degrees = std::max(MIN_KEY_ROTATION_DEGREES, distance * ROTATION_STEP_DEGREES) * sx;
        rotation = Ogre::Quaternion(Ogre::Degree(degrees),
                                    isAltHeld() ? Ogre::Vector3::UNIT_Y : Ogre::Vector3::UNIT_Z);
    }
    else if (isAltHeld())
        translation = Ogre::Vector3(distance * sx, 0.0f, -distance * sy);
    else
        translation = Ogre::Vector3(distance * sx, distance * sy, 0.0f);
    mLayer->beginTransform();
    mLayer->transform(translation, rotation);
    mLayer->endTransform(true);
    mLayer->updateDisplay();
    changed();
}

void LevelEditor::addPosition()
{
    std::vector<LevelElement*> selected;
    mLayer->collectSelectedElements(selected);
    if (selected.size() != 1)
    {
        message("Select one element to add position");
        return;
    }
    LevelElement* element = selected.front();
    if (element->getPositionCount() >= element->getType()->getMaxPositions())
    {
        message("Maximum amount of positions already set for selected element");
        return;
    }
    const Ogre::Vector3 point(mCursor.x, mCursor.y, 0.0f);
    element->addPosition(point)->setPosition(point, true);
    element->updateDisplay();
    changed();
}

void LevelEditor::nextState()
{
    std::vector<LevelElement*> selected;
    mLayer->collectSelectedElements(selected);
    if (selected.size() != 1)
    {
        message("Select one element to set initial state");
        return;
    }
    LevelElement* element = selected.front();
    const unsigned count = element->getType()->getStateCount();
    if (count == 0)
    {
        message("Selected element does not support states");
        return;
    }
    element->setStateIndex((element->getStateIndex() + 1) % count);
    element->updateDisplay();
    pushHistory();
    message("Selected element initial state set to '" + element->getState() + "'");
}

void LevelEditor::reset()
{
    if (isCommandHeld())
    {
        mCameraYaw = DEFAULT_YAW;
        mCameraPitch = DEFAULT_PITCH;
        mCameraDistance = DEFAULT_DISTANCE;
        return;
    }
    if (mDragState != DRAG_IDLE)
        return;
    std::vector<LevelElementPosition*> selected;
    mLayer->collectSelectedPositions(selected);
    for (LevelElementPosition* position : selected)
    {
        LevelElement* element = position->getElement();
        if (!isAltHeld())
            element->setOrientation(Ogre::Quaternion::IDENTITY, true);
        if (!isShiftHeld())
        {
            Ogre::Vector3 place = position->getPosition();
            place.z = element->getType()->getDefaultDepth();
            position->setPosition(place, true);
        }
    }
    if (!selected.empty())
        changed();
    mLayer->updateDisplay();
}

void LevelEditor::centreLevel()
{
    std::vector<LevelElementPosition*> positions;
    mLayer->collectPositions(positions);
    if (positions.empty())
        return;
    Ogre::AxisAlignedBox box;
    for (const LevelElementPosition* position : positions)
        box.merge(position->getPosition());
    const Ogre::Vector3 centre = box.getCenter();
    const Ogre::Vector3 offset(std::floor(-centre.x), std::floor(-centre.y), 0.0f);
    if (offset == Ogre::Vector3::ZERO)
        return;
    for (LevelElementPosition* position : positions)
        position->setPosition(position->getPosition() + offset, true);
    mLayer->updateDisplay();
    changed();
}
} // namespace game
