#include "game/editor/levelelementposition.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementtype.h"
#include "game/world/weapon.h"

#include <OgreEntity.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace game
{
const char* const LevelElementPosition::SELECTION_MESH = "leveleditorselection";
const char* const LevelElementPosition::LINK_MESH = "leveleditorlink";

LevelElementPosition::LevelElementPosition(LevelElement* element) : mElement(element) {}

LevelElementPosition::~LevelElementPosition()
{
    destroyNode(mSelectionNode, mSelectionEntity);
    destroyNode(mMeshNode, mMeshEntity);
    destroyNode(mLinkNode, mLinkEntity);
}

void LevelElementPosition::destroyNode(Ogre::SceneNode*& node, Ogre::Entity*& entity)
{
    if (!node)
        return;
    Ogre::SceneManager* scene = node->getCreator();
    scene->destroyEntity(entity);
    scene->destroySceneNode(node);
    node = nullptr;
    entity = nullptr;
}

void LevelElementPosition::create(const Ogre::Vector3& position, const Ogre::MeshPtr& mesh)
{
    mPosition = position;
    Ogre::SceneNode* layerNode = mElement->getLayer()->getSceneNode();
    Ogre::SceneManager* scene = layerNode->getCreator();

    mMeshNode = layerNode->createChildSceneNode();
    mMeshEntity = scene->createEntity(mesh);
    // A weapon's mesh glows by its custom parameter, which would otherwise hold whatever a weapon
    // lying in the last game left in its material; placed in the editor it does not glow.
    Weapon::setGlow(mMeshEntity, Ogre::Vector4::ZERO);
    mMeshEntity->getUserObjectBindings().setUserAny(Ogre::Any(this));
    mMeshNode->attachObject(mMeshEntity);
    const std::string skin = mElement->getType()->getSkinName();
    if (!skin.empty())
        mMeshEntity->setMaterialName("skin" + skin);

    const Ogre::AxisAlignedBox& box = mesh->getBounds();
    mSelectionNode = mMeshNode->createChildSceneNode();
    mSelectionEntity = scene->createEntity(SELECTION_MESH);
    mSelectionNode->attachObject(mSelectionEntity);
    if (box.isFinite())
    {
        mSelectionNode->setPosition(box.getCenter());
        mSelectionNode->setScale(box.getSize());
    }

    mLinkNode = layerNode->createChildSceneNode();
    mLinkEntity = scene->createEntity(LINK_MESH);
    mLinkNode->attachObject(mLinkEntity);
}

void LevelElementPosition::transform(const Ogre::Vector3& translation, const Ogre::Quaternion&)
{
    setPosition(mRememberedPosition + translation, true);
}

void LevelElementPosition::endTransform(bool commit)
{
    if (!commit)
        mPosition = mRememberedPosition;
}

void LevelElementPosition::setPosition(const Ogre::Vector3& position, bool snap)
{
    mPosition = snap ? mElement->getType()->snapPosition(position, mElement->getOrientation(),
                                                         mElement->getLayer()->getSnapGrid())
                     : position;
}

void LevelElementPosition::updateDisplay()
{
    if (!mMeshNode)
        return;
    mMeshNode->setPosition(mPosition);
    mMeshNode->setOrientation(mElement->getOrientation());
    mMeshNode->setScale(mElement->getType()->getScale() * mElement->getDisplayScale());
    mMeshNode->setVisible(mVisible, false);
    mSelectionNode->setVisible(mVisible && mSelected);
    if (!mPrevious)
    {
        mLinkNode->setVisible(false);
        return;
    }
    const Ogre::Vector3 toPrevious = mPrevious->getPosition() - mPosition;
    mLinkNode->setVisible(mVisible);
    mLinkNode->setPosition(mPosition);
    mLinkNode->setOrientation(Ogre::Vector3::UNIT_X.getRotationTo(toPrevious));
    mLinkNode->setScale(toPrevious.length(), 1.0f, 1.0f);
}
} // namespace game
