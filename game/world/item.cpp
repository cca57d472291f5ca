#include "game/world/item.h"
#include "engine/core/audiosample.h"
#include "game/world/entitymanager.h"
#include "game/world/worldlabel.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
// The label type the application registers for items.
const char* const LABEL_TYPE = "interaction";
// A pickup moves only when placed: its pose travels coarser than that of moving entities.
constexpr float POSITION_XY_LIMIT = 250.0f;
constexpr unsigned POSITION_XY_BITS = 12;
constexpr float POSITION_Z_LIMIT = 5.0f;
constexpr unsigned POSITION_Z_BITS = 7;
// Sent every fourth pass: an item changes seldom.
constexpr int MOTION_STATE = 3;
} // namespace

Item::Item(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = MOTION_STATE;
    mStateCodec.bind(&mPosition.x, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.y, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.z, -POSITION_Z_LIMIT, POSITION_Z_LIMIT, POSITION_Z_BITS);
    mStateCodec.bind(&mAvailable);
}

Item::~Item() {}

void Item::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mDisplayName = element->getValue("displayname", "");
    if (mDisplayName.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No display name defined for item '" + mName + "'",
                    "Item::load");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for item '" + mName + "'",
                    "Item::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    mRespawnSound = loadSound(element, "respawnsound");
    mPickupSound = loadSound(element, "pickupsound");
    mSpawnDelay = element->getValueAsFloat("spawndelay", 0.0f);
    mAutoPickup = element->getValueAsBoolean("autopickup", false);
    mFlags |= ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE;
}

void Item::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Item* prototype = static_cast<const Item*>(entity);
    mDisplayName = prototype->mDisplayName;
    mMesh = prototype->mMesh;
    mRespawnSound = prototype->mRespawnSound;
    mPickupSound = prototype->mPickupSound;
    mSpawnDelay = prototype->mSpawnDelay;
    mAutoPickup = prototype->mAutoPickup;
}

void Item::spawn()
{
    Entity::spawn();
    createMeshNode(mMesh, mNode, mMeshEntity);
    if (mNode)
        mNode->setVisible(false, true);
    if (mMesh)
    {
        const Ogre::AxisAlignedBox& bounds = mMesh->getBounds();
        const Ogre::Vector3& low = bounds.getMinimum();
        const Ogre::Vector3& high = bounds.getMaximum();
        float r = std::max(std::max(std::fabs(low.x), std::fabs(high.x)),
                           std::max(std::fabs(low.z), std::fabs(high.z)));
        mLabelBox.setExtents(Ogre::Vector3(-r, low.y, -r) * LABEL_BOX_SCALE,
                             Ogre::Vector3(r, high.y, r) * LABEL_BOX_SCALE);
    }
    if (!mAutoPickup)
        mLabel = addWorldLabel(LABEL_TYPE, mPosition);
    if (mLabel)
    {
        mLabel->setText(mDisplayName);
        mLabel->setBoundingBox(mLabelBox);
    }
    reset();
    mRespawnTicks = 0;
    mBobPhase = Ogre::Math::RangeRandom(0.0f, Ogre::Math::TWO_PI);
    if (mBobPhase >= Ogre::Math::TWO_PI)
        mBobPhase = 0.0f;
    mPreviousAvailable = mAvailable;
    mRespawnDisabled = false;
}

void Item::remove()
{
    Entity::remove();
    removeWorldLabel(mLabel);
    destroyMeshNode(mNode, mMeshEntity);
}

void Item::pickUp()
{
    mAvailable = false;
    mRespawnTicks = 0;
}

void Item::reset()
{
    mAvailable = true;
}

void Item::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    if (isAuthoritative() && !mAvailable)
    {
        ++mRespawnTicks;
        if (mSpawnDelay > 0.0f && !mRespawnDisabled)
        {
            if (toTicks(mSpawnDelay) <= static_cast<float>(mRespawnTicks))
                reset();
        }
        else if (static_cast<float>(mRespawnTicks) > toTicks(REMOVE_DELAY))
            kill();
    }
    mTick = tick;
}

void Item::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    if (enabled)
        return;
    if (mNode)
        mNode->setVisible(false, true);
    if (mLabel)
        mLabel->setLayerFlags(0);
}

void Item::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    if (!mAvailable)
    {
        if (mPreviousAvailable && mPickupSound)
            mPickupSound->play(mRenderPosition, 1.0f, 1.0f, false, -1);
    }
    else
    {
        if (!mPreviousAvailable && mRespawnSound)
            mRespawnSound->play(mPosition, 1.0f, 1.0f, false, -1);
        // Modulo keeps the phase in range after a frame of any length.
        mBobPhase = std::fmod(mBobPhase + frameSeconds * BOB_SPEED, Ogre::Math::TWO_PI);
        if (mNode)
        {
            mNode->setOrientation(Ogre::Quaternion(Ogre::Radian(mBobPhase), Ogre::Vector3::UNIT_Y));
            mNode->setPosition(mRenderPosition + Ogre::Vector3(0.0f, std::sin(mBobPhase) * BOB_HEIGHT, 0.0f));
        }
    }
    mPreviousAvailable = mAvailable;
    if (mLabel)
    {
        // The node hangs from the manager's root: its position is the world position.
        mLabel->setPosition(mNode ? mNode->getPosition() : mRenderPosition);
        mLabel->setLayerFlags(mAvailable ? mManager->getObserverMaskInRadius(mPosition, LABEL_DISTANCE) : 0);
    }
    if (mNode)
        mNode->setVisible(mAvailable, true);
}
} // namespace game
