#pragma once
#include "engine/core/inputlistener.h"
#include "game/editor/levelhistory.h"
#include "game/level/levelpoint.h"

#include <OgreColourValue.h>
#include <OgreVector.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class Entity;
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class MessageDisplay;
}

namespace game
{
class EntityManager;
class EntityMapSource;
class EventDispatcher;
class Level;
class LevelElement;
class LevelElementLayer;
class LevelElementPosition;
class LevelElementSelector;
class LevelElementType;
class PlayerManager;

// The in-game level editor: the level being edited as elements on a grid, a palette of the
// types that can be placed, keyboard and mouse editing, an undo history, a play preview, light
// and sound map regeneration, and the checks made before saving. It lives only while the game
// is in editor mode; everything runs on the main thread, from input callbacks and the
// per-frame update.
//
// Keys (GLFW codes): Space placement mode, Tab palette, P preview, Delete, G grid size, L light
// and sound maps, R reset (with Ctrl or C: the camera), arrows step or (Shift) turn, T add a
// position, S next initial state, Ctrl/C+Z undo (with Shift redo), Ctrl/C+Y redo, N centre the
// level, F1 help. Left Alt moves and turns in depth instead; Ctrl or C with the mouse orbits.
class LevelEditor : public brix::InputListener
{
public:
    // The camera the editor looks through; the application's camera implements it.
    class View
    {
    public:
        virtual ~View() = default;
        // Places the camera at the position, looking at the target.
        virtual void setFixedView(const Ogre::Vector3& position, const Ogre::Vector3& target) = 0;
        // Back to the camera's default view when the editor goes away.
        virtual void resetView() = 0;
    };

    // Whoever runs the game's server attaches a local player to the preview match the editor
    // starts, and detaches it when the preview stops.
    class PreviewHost
    {
    public:
        virtual ~PreviewHost() = default;
        // False when no player could join; the editor then ends the preview.
        virtual bool attachPreviewPlayer() = 0;
        virtual void detachPreviewPlayer() = 0;
    };

    // The input group the editor listens in.
    static constexpr unsigned INPUT_GROUP = 4;
    static constexpr unsigned HISTORY_SLOTS = LevelHistory::SLOT_COUNT;
    // The cursor stays within this distance of the origin in x and y.
    static constexpr float CURSOR_LIMIT = 200.0f;
    // A pointer moving farther than this from where the button went down starts a drag.
    static constexpr float DRAG_THRESHOLD = 0.5f;
    // Pointer units per world unit.
    static constexpr float POINTER_SCALE = 10.0f;
    // Camera orbit: radians per pointer unit and world units per wheel step.
    static constexpr float ORBIT_SPEED = 0.01f;
    static constexpr float ZOOM_SPEED = 2.0f;
    static constexpr float DEFAULT_YAW = 0.0f;
    static constexpr float DEFAULT_PITCH = -0.2f;
    static constexpr float DEFAULT_DISTANCE = 20.0f;
    static constexpr float MIN_DISTANCE = 5.0f;
    static constexpr float MAX_DISTANCE = 50.0f;
    // The grid sizes G cycles through, the first the starting one.
    static constexpr float GRID_SIZES[3] = {0.5f, 1.0f, 0.0f};
    // Degrees a drag turns per world unit of grid (a grid of 0.5 turns in 45 degree steps),
    // radians per unit of pointer offset, and the least turn of an arrow key.
    static constexpr float ROTATION_STEP_DEGREES = 90.0f;
    static constexpr float ROTATION_PER_UNIT = 0.5f;
    static constexpr float MIN_KEY_ROTATION_DEGREES = 5.0f;
    static constexpr float MIN_KEY_STEP = 0.1f;
    // The depth of the box a box selection picks with.
    static constexpr float BOX_SELECTION_DEPTH = 4.0f;
    // The pick ray starts this far behind the cursor.
    static constexpr float PICK_DISTANCE = 1000.0f;
    // Above this share of the entity manager's dynamic capacity a level is too busy.
    static constexpr unsigned DYNAMIC_SHARE_NUMERATOR = 3;
    static constexpr unsigned DYNAMIC_SHARE_DENOMINATOR = 4;
    // The block every editor starts placing, when the catalogue has it.
    static const char* const DEFAULT_TYPE;

    enum DragState
    {
        DRAG_IDLE = 0,
        DRAG_PENDING = 1,
        DRAG_ACTIVE = 2
    };
    enum DragKind
    {
        DRAG_NONE = 0,
        DRAG_MOVE = 1,
        DRAG_MOVE_DEPTH = 2,
        DRAG_ROTATE_Z = 3,
        DRAG_ROTATE_Y = 4,
        DRAG_BOX = 5,
        DRAG_CURSOR = 6
    };
    // Bits of the modifier mask.
    enum Modifier
    {
        MOD_LEFT_SHIFT = 1,
        MOD_RIGHT_SHIFT = 2,
        MOD_LEFT_CTRL = 4,
        MOD_RIGHT_CTRL = 8,
        MOD_KEY_C = 16,
        MOD_LEFT_ALT = 32
    };

    // Registers with the input manager (when there is one) in INPUT_GROUP. Neither the scene
    // manager nor the node is owned.
    LevelEditor(Ogre::SceneManager* sceneManager, Ogre::SceneNode* rootNode, bool developer);
    virtual ~LevelEditor();
    LevelEditor(const LevelEditor&) = delete;
    LevelEditor& operator=(const LevelEditor&) = delete;

    // Takes the services (not owned; the player manager, view and message display may be
    // null) and builds the types, the palette and the scene. Throws Ogre::ItemIdentityException
    // when a marker mesh is missing.
    void initialize(Level* level, PlayerManager* players, EntityManager* entities, View* view,
                    brix::MessageDisplay* messages, EventDispatcher* events);
    void setPreviewHost(PreviewHost* host) { mPreviewHost = host; }
    void setAspectRatio(float aspectRatio) { mAspectRatio = aspectRatio; }
    void setHelpVisible(bool visible);
    // Once per frame in editor mode.
    void update();

    // Starts an empty level of that name (its file in the user's level folder).
    void newLevel(const std::string& name);
    // False, with the editor as it was, when the level cannot be loaded.
    bool loadLevel(const std::string& name);
    // Warns about what looks wrong, then writes the level; the outcome is shown as a message.
    void saveLevel();
    // Ends a running play preview and shows the level for editing again; also without one.
    void stopPreview();
    // One point per element, in layer order.
    void storeElements(std::vector<LevelPoint>& points) const;
    // Rebuilds the elements from the points; points naming no known type are reported, left
    // out of the editor and kept to be written back unchanged on save.
    void loadElements(const std::vector<LevelPoint>& points);

    void onListenerEnable(bool enabled) override;
    void onKeyPress(brix::KeyCode key, unsigned int character) override;
    void onKeyRelease(brix::KeyCode key) override;
    void onMouseMove(const Ogre::Vector4& motion) override;
    void onMouseButtonPress(brix::MouseButton button) override;
    void onMouseButtonRelease(brix::MouseButton button) override;

    // Builds the editor's grid, selection box, link bar and cursor meshes, unless they exist.
    static void createMeshes();

    // What the editor shows, for the application and for checks.
    LevelElementLayer* getLayer() const { return mLayer.get(); }
    LevelElementSelector* getSelector() const { return mSelector.get(); }
    const LevelElementType* getCurrentType() const { return mCurrentType; }
    const LevelElementType* getType(const std::string& name) const;
    const LevelElement* getPreviewElement() const { return mPreviewElement.get(); }
    const Ogre::Vector2& getCursorPosition() const { return mCursor; }
    Ogre::Vector3 getCursorNodePosition() const;
    float getGridSize() const { return mGridSize; }
    bool isPlacementMode() const { return mPlacementMode; }
    int getDragState() const { return mDragState; }
    int getDragKind() const { return mDragKind; }
    bool isPreviewRunning() const { return mPreviewRunning; }
    bool isGeneratingMaps() const { return mGeneratingMaps; }
    bool isLightMapStale() const { return mLightMapStale; }
    float getCameraYaw() const { return mCameraYaw; }
    float getCameraPitch() const { return mCameraPitch; }
    float getCameraDistance() const { return mCameraDistance; }
    // Where the camera is placed and the way it looks.
    Ogre::Vector3 getCameraPosition() const;
    Ogre::Vector3 getCameraTarget() const;

private:
    void message(const std::string& text, bool keep = true);
    Ogre::SceneNode* createMeshNode(const char* mesh, Ogre::Entity*& entity);
    void setupLights(bool preview);
    void removeLights();
    void buildHelp();
    void updateCursor();
    void updateCamera();
    bool isShiftHeld() const { return (mModifiers & (MOD_LEFT_SHIFT | MOD_RIGHT_SHIFT)) != 0; }
    bool isCommandHeld() const { return (mModifiers & (MOD_LEFT_CTRL | MOD_RIGHT_CTRL | MOD_KEY_C)) != 0; }
    bool isAltHeld() const { return (mModifiers & MOD_LEFT_ALT) != 0; }
    Ogre::Vector3 getGrid() const { return Ogre::Vector3(mGridSize); }

    void startPreview();
    void regenerateMaps();
    void openPalette();
    void closePalette();
    void storeLevelPoints();
    void rebuildElements(const std::vector<LevelPoint>& points, std::vector<LevelPoint>* unknown);
    void pushHistory();
    void changed();
    void restoreHistory(bool redo);

    void pick(std::vector<LevelElementPosition*>& hits) const;
    void applyPick(const std::vector<LevelElementPosition*>& hits, bool add, bool toggle);
    void startDrag(int kind);
    void updateDrag();
    void finishDrag();
    void cancelDrag();
    void endDrag();
    float snapAngle(float distance) const;
    void placeElement();
    void deleteSelected();
    void cycleGrid();
    void step(int sx, int sy);
    void addPosition();
    void nextState();
    void reset();
    void centreLevel();

    Ogre::SceneManager* mSceneManager;
    Ogre::SceneNode* mRootNode;
    bool mDeveloper;
    // The scene's ambient light before the editor set its own, given back when it goes.
    Ogre::ColourValue mFoundAmbientLight;
    Level* mLevel = nullptr;
    PlayerManager* mPlayers = nullptr;
    EntityManager* mEntities = nullptr;
    View* mView = nullptr;
    brix::MessageDisplay* mMessages = nullptr;
    EventDispatcher* mEvents = nullptr;
    PreviewHost* mPreviewHost = nullptr;
    std::unique_ptr<EntityMapSource> mMapSource;
    std::map<std::string, std::unique_ptr<LevelElementType>> mTypes;
    std::unique_ptr<LevelElementLayer> mLayer;
    const LevelElementType* mCurrentType = nullptr;
    Ogre::SceneNode* mCursorNode = nullptr;
    Ogre::Entity* mCursorEntity = nullptr;
    Ogre::SceneNode* mSelectionNode = nullptr;
    Ogre::Entity* mSelectionEntity = nullptr;
    Ogre::SceneNode* mGridNode = nullptr;
    Ogre::Entity* mGridEntity = nullptr;
    Ogre::Vector2 mCursor = Ogre::Vector2::ZERO;
    std::unique_ptr<LevelElement> mPreviewElement;
    bool mPlacementMode = false;
    unsigned mModifiers = 0;
    float mCameraYaw = DEFAULT_YAW;
    float mCameraPitch = DEFAULT_PITCH;
    float mCameraDistance = DEFAULT_DISTANCE;
    int mDragState = DRAG_IDLE;
    int mDragKind = DRAG_NONE;
    Ogre::Vector2 mDragStart = Ogre::Vector2::ZERO;
    bool mSuppressClick = false;
    bool mPreviewRunning = false;
    bool mGeneratingMaps = false;
    std::unique_ptr<LevelElementSelector> mSelector;
    Ogre::Vector2 mSavedCursor = Ogre::Vector2::ZERO;
    bool mLightMapStale = false;
    float mGridSize = GRID_SIZES[0];
    std::unique_ptr<LevelHistory> mHistory;
    float mAspectRatio = 1.0f;
    Ogre::SceneNode* mHelpNode = nullptr;
    Ogre::ManualObject* mHelpObject = nullptr;
    bool mHelpBuilt = false;
    // The editor's input group is enabled: its cursor is drawn only then.
    bool mListening = true;
    // Level points naming no type the editor knows, written back unchanged.
    std::vector<LevelPoint> mCarriedPoints;
};
} // namespace game
