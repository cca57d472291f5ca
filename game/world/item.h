#pragma once
#include "game/world/entity.h"

#include <OgreAxisAlignedBox.h>

#include <string>

namespace Ogre
{
class Entity;
class SceneNode;
} // namespace Ogre

namespace game
{
// The base of what a human can take from the world: weapons and packages. An item spins and
// bobs where it lies, shows an "interaction" label to the players standing at it (none for
// items taken by touch), and plays its sounds when it is taken and when it comes back. Humans
// decide when an item is taken (pickUp); the item comes back after its spawn delay, or dies
// one second after being taken when it has none or its respawn was switched off. Only the
// authoritative side changes the available flag; clients see it replicated.
class Item : public Entity
{
public:
    // A taken item without a way back is killed this long after being taken.
    static constexpr float REMOVE_DELAY = 1.0f;
    // Bob phase in radians per second and the bob height.
    static constexpr float BOB_SPEED = 2.5f;
    static constexpr float BOB_HEIGHT = 0.2f;
    // Players whose human is this near (x/y plane) see the item's label.
    static constexpr float LABEL_DISTANCE = 1.0f;
    // The label box encloses the mesh in every turn about y, with this margin.
    static constexpr float LABEL_BOX_SCALE = 1.6f;

    explicit Item(EntityManager* manager);
    ~Item() override;

    // Throws Ogre::InvalidParametersException for a missing display name or mesh.
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    void spawn() override;
    void remove() override;
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;

    // A human takes the item: it is hidden and its respawn timer starts.
    virtual void pickUp();
    // The item is available again: at spawn and when its spawn delay has run out.
    virtual void reset();

    std::string getDisplayName() const { return mDisplayName; }
    bool isAutoPickup() const { return mAutoPickup; }
    bool isAvailable() const { return mAvailable; }
    // The item will be killed instead of coming back; for dropped items and at match start.
    void disableRespawn() { mRespawnDisabled = true; }
    bool isRespawnDisabled() const { return mRespawnDisabled; }
    float getSpawnDelay() const { return mSpawnDelay; }
    // Radians, 0 to 2 pi.
    float getBobPhase() const { return mBobPhase; }
    const Ogre::AxisAlignedBox& getLabelBox() const { return mLabelBox; }
    WorldLabel* getLabel() const { return mLabel; }

protected:
    Ogre::Entity* getMeshEntity() const { return mMeshEntity; }

private:
    // Definition.
    std::string mDisplayName;
    Ogre::MeshPtr mMesh;
    SamplePtr mRespawnSound;
    SamplePtr mPickupSound;
    float mSpawnDelay = 0.0f;
    bool mAutoPickup = false;

    // Run time.
    Ogre::Entity* mMeshEntity = nullptr;
    Ogre::SceneNode* mNode = nullptr;
    WorldLabel* mLabel = nullptr;
    // Ticks since the item was taken.
    unsigned mRespawnTicks = 0;
    float mBobPhase = 0.0f;
    bool mAvailable = false;
    bool mPreviousAvailable = false;
    Ogre::AxisAlignedBox mLabelBox;
    bool mRespawnDisabled = false;
};
} // namespace game
