#pragma once
#include "game/editor/editable.h"

#include <OgreMesh.h>
#include <OgreVector.h>

namespace Ogre
{
class Entity;
class SceneNode;
} // namespace Ogre

namespace game
{
class LevelElement;

// One position of an element: its main position or a waypoint. It shows the element's mesh
// there, a box around it while selected, and a bar linking it to the position before it. The
// mesh entity carries this position as its user binding, which is how picking finds it.
class LevelElementPosition : public Editable
{
public:
    // The editor's shared meshes, built by the editor before any position.
    static const char* const SELECTION_MESH;
    static const char* const LINK_MESH;

    explicit LevelElementPosition(LevelElement* element);
    ~LevelElementPosition() override;
    LevelElementPosition(const LevelElementPosition&) = delete;
    LevelElementPosition& operator=(const LevelElementPosition&) = delete;

    // Places the position (unsnapped) and builds its nodes under the layer's node.
    void create(const Ogre::Vector3& position, const Ogre::MeshPtr& mesh);

    void setSelected(bool selected) override { mSelected = selected; }
    bool isSelected() const override { return mSelected; }
    void beginTransform() override { mRememberedPosition = mPosition; }
    // The rotation turns the element, not its positions: only the translation is used here.
    void transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation) override;
    void endTransform(bool commit) override;
    bool removeSelected() override { return mSelected; }

    // With snap, the type's snapping with the element's orientation and the layer's grid.
    void setPosition(const Ogre::Vector3& position, bool snap);
    const Ogre::Vector3& getPosition() const { return mPosition; }
    // Where the running transform began.
    const Ogre::Vector3& getTransformStart() const { return mRememberedPosition; }
    LevelElement* getElement() const { return mElement; }
    void setPrevious(LevelElementPosition* previous) { mPrevious = previous; }
    LevelElementPosition* getPrevious() const { return mPrevious; }
    void setVisible(bool visible) { mVisible = visible; }
    bool isVisible() const { return mVisible; }
    // Brings the nodes in line with the position, the element's orientation and scale, the
    // selection and the link.
    void updateDisplay();
    Ogre::Entity* getMeshEntity() const { return mMeshEntity; }

private:
    void destroyNode(Ogre::SceneNode*& node, Ogre::Entity*& entity);

    LevelElement* mElement;
    Ogre::SceneNode* mMeshNode = nullptr;
    Ogre::Entity* mMeshEntity = nullptr;
    Ogre::SceneNode* mLinkNode = nullptr;
    Ogre::Entity* mLinkEntity = nullptr;
    Ogre::SceneNode* mSelectionNode = nullptr;
    Ogre::Entity* mSelectionEntity = nullptr;
    bool mSelected = false;
    bool mVisible = true;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Vector3 mRememberedPosition = Ogre::Vector3::ZERO;
    LevelElementPosition* mPrevious = nullptr;
};
} // namespace game
