#pragma once
#include <OgreVector.h>

#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class ManualObject;
class SceneNode;
} // namespace Ogre

namespace game
{
class LevelElementLayer;
class LevelElementType;

// The palette the user picks the type to place from: every type as a spinning preview, in
// rows by category, with a frame and the name under the pointer. Hidden until opened. Owns its
// layer of previews and its nodes, not the types.
class LevelElementSelector
{
public:
    // The font of the name label and the help overlay, with its solid and edge texture cells.
    static const char* const FONT;
    static const Ogre::Vector2 SOLID_UV;
    static const Ogre::Vector2 EDGE_UV1;
    static const Ogre::Vector2 EDGE_UV2;
    // Palette layout: the first preview's place, the spacing of previews and rows, and the
    // size a non-block preview is scaled to fit.
    static const Ogre::Vector3 ORIGIN;
    static constexpr float SPACING = 5.0f;
    static constexpr float PREVIEW_SIZE = 4.0f;
    // Degrees the previews turn each frame.
    static constexpr float SPIN_STEP = 2.25f;
    // The label's render-queue group.
    static constexpr unsigned LABEL_QUEUE = 60;

    explicit LevelElementSelector(Ogre::SceneNode* parent);
    ~LevelElementSelector();
    LevelElementSelector(const LevelElementSelector&) = delete;
    LevelElementSelector& operator=(const LevelElementSelector&) = delete;

    void addType(const LevelElementType* type);
    // Sorts the types into palette order, lays out a preview of each and hides the palette.
    void arrange();
    void setVisible(bool visible);
    bool isVisible() const { return mVisible; }
    // Places the palette so that the current type lies under the pointer.
    void open(const Ogre::Vector2& pointer, const LevelElementType* current);
    // Once per frame while open: spins the previews and finds the type under the pointer.
    void update(const Ogre::Vector2& pointer);
    // The type under the pointer, or null.
    const LevelElementType* getSelectedType() const { return mHovered; }
    // The type step places away from the current one in palette order, wrapping once; the
    // current type for a null type, a step of 0 or a step as long as the palette.
    const LevelElementType* cycleType(const LevelElementType* current, int step) const;
    const std::vector<const LevelElementType*>& getTypes() const { return mTypes; }
    LevelElementLayer* getLayer() const { return mLayer.get(); }

    // Palette order: by category rank, then category name, then type name.
    static bool compareTypes(const LevelElementType* a, const LevelElementType* b);

private:
    void drawLabel(const Ogre::Vector3& position);

    Ogre::SceneNode* mNode;
    std::unique_ptr<LevelElementLayer> mLayer;
    std::vector<const LevelElementType*> mTypes;
    bool mVisible = false;
    float mSpinAngle = 0.0f;
    Ogre::SceneNode* mLabelNode;
    Ogre::ManualObject* mLabelObject;
    const LevelElementType* mHovered = nullptr;
};
} // namespace game
