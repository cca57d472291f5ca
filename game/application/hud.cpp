#include "game/application/hud.h"

#include "engine/presentation/ogreobjectbuilder.h"
#include "game/multiplayer/player.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "game/world/weapon.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace game
{
const char* const HUD::FONT_NAME = "menufont";

namespace
{
const Ogre::ColourValue FAINT(1.0f, 1.0f, 1.0f, 0.25f);
const Ogre::ColourValue SHIELD_COLOUR(0.0f, 0.523f, 0.561f, 1.0f);
const char* const EMPTY_SLOT = "---";
// The key bits the boxes show, right to left.
const int KEY_BITS[HUD::KEY_BOXES] = {1, 2, 4};
} // namespace

HUD::HUD(int cameraIndex, Ogre::SceneManager* sceneManager)
    : mSceneManager(sceneManager), mObject(sceneManager->createManualObject()),
      mNode(sceneManager->getRootSceneNode()->createChildSceneNode())
{
    mObject->setRenderQueueGroup(RENDER_QUEUE_GROUP);
    mObject->setUseIdentityView(true);
    mObject->setUseIdentityProjection(true);
    mObject->setVisibilityFlags(1u << cameraIndex);
    mNode->attachObject(mObject);
}

HUD::~HUD()
{
    mNode->detachObject(mObject);
    mSceneManager->destroySceneNode(mNode);
    mSceneManager->destroyManualObject(mObject);
}

void HUD::setAspectRatio(float aspectRatio)
{
    mAspectRatio = aspectRatio;
    mDirty = true;
}

void HUD::setSeam(int side)
{
    if (side == mSeam)
        return;
    mSeam = side;
    mDirty = true;
}

void HUD::setVisible(bool visible)
{
    mVisible = visible;
}

void HUD::setInfoText(const std::string& material)
{
    if (material == mInfoImage)
        return;
    mInfoImage = material;
    mDirty = true;
}

void HUD::update(Player* player)
{
    Human* human = player ? static_cast<Human*>(player->getHuman()) : nullptr;
    if (!human || !mVisible)
    {
        mObject->setVisible(false);
        return;
    }
    TStatus status;
    status.name = player->getNameWithScore();
    status.health = human->getHealth();
    status.keyMask = human->getKeyMask();
    status.shieldEnergy = human->getShieldEnergy();
    for (unsigned int slot = 0; slot < WEAPON_SLOTS; ++slot)
    {
        uint32_t clip = 0, reserve = 0;
        if (const Weapon* weapon = human->getWeapon(slot, clip, reserve))
            status.weapons[slot] = {weapon->getDisplayName(), static_cast<int>(reserve),
                                    static_cast<int>(clip)};
    }
    status.currentWeapon = human->getCurrentWeaponIndex();
    update(status);
}

void HUD::update(const TStatus& status)
{
    if (!mVisible)
    {
        mObject->setVisible(false);
        return;
    }
    if (status.name != mStatus.name || status.health != mStatus.health || status.keyMask != mStatus.keyMask ||
        status.currentWeapon != mStatus.currentWeapon || status.shieldEnergy != mStatus.shieldEnergy)
        mDirty = true;
    for (unsigned int slot = 0; slot < WEAPON_SLOTS; ++slot)
    {
        const TWeapon& now = status.weapons[slot];
        const TWeapon& shown = mStatus.weapons[slot];
        if (now.name != shown.name || now.rounds != shown.rounds || now.clip != shown.clip)
            mDirty = true;
    }
    if (mDirty)
    {
        mStatus = status;
        rebuild();
        mDirty = false;
    }
    mObject->setVisible(true);
}

void HUD::rebuild()
{
    ++mRebuilds;
    const float w = MARGIN / mAspectRatio;
    const float left = -1.0f + (mSeam < 0 ? SEAM_MARGIN : MARGIN) / mAspectRatio;
    const float right = 1.0f - (mSeam > 0 ? SEAM_MARGIN : MARGIN) / mAspectRatio;
    // The image's section goes with the image, so that a new one gets the right material.
    if (mObject->getNumSections() > 1 && mInfoImage != mBuiltInfoImage)
        mObject->clear();

    brix::OgreObjectBuilder builder(mObject, FONT_NAME, Ogre::Vector2(0.03125f, 0.03125f),
                                    Ogre::Vector2(0.015f, 0.03125f), Ogre::Vector2(0.0475f, 0.03125f));
    builder.setAspectRatio(mAspectRatio);
    builder.begin(true);

    const float health = mStatus.health;
    builder.addText(Ogre::Vector3(left, BOTTOM, 0.0f), mStatus.name, TEXT_SIZE,
                    Ogre::ColourValue(1.0f - health, health, 0.0f, 1.0f), brix::OgreObjectBuilder::ALIGN_LEFT,
                    brix::OgreObjectBuilder::ALIGN_LEFT, 0.0f);

    for (unsigned int slot = 0; slot < WEAPON_SLOTS; ++slot)
    {
        const TWeapon& weapon = mStatus.weapons[slot];
        const float alpha = slot == mStatus.currentWeapon ? 1.0f : FAINT.a;
        Ogre::ColourValue colour(1.0f, 1.0f, 1.0f, alpha);
        std::string text = EMPTY_SLOT;
        if (!weapon.name.empty())
        {
            text =
                weapon.name + " (" + std::to_string(weapon.rounds) + "/" + std::to_string(weapon.clip) + ")";
            if (weapon.rounds == 0)
                colour = Ogre::ColourValue(1.0f, 0.0f, 0.0f, alpha);
        }
        builder.addText(Ogre::Vector3(right, BOTTOM + slot * WEAPON_LINE_SPACING, 0.0f), text, TEXT_SIZE,
                        colour, brix::OgreObjectBuilder::ALIGN_RIGHT, brix::OgreObjectBuilder::ALIGN_LEFT,
                        0.0f);
    }

    const float boxWidth = KEY_BOX_SIZE / mAspectRatio;
    float x = right;
    for (int key : KEY_BITS)
    {
        const Ogre::ColourValue colour =
            (mStatus.keyMask & static_cast<unsigned int>(key)) ? Package::getKeyColour(key) : FAINT;
        builder.addRectangleOutline(Ogre::Vector3(x - boxWidth, KEY_ROW, 0.0f),
                                    Ogre::Vector3(x, KEY_ROW + KEY_BOX_SIZE, 0.0f), LINE_WIDTH, colour);
        builder.addText(Ogre::Vector3(x - boxWidth / 2, KEY_ROW + KEY_BOX_SIZE / 2, 0.0f),
                        Package::getKeyName(key), KEY_TEXT_SIZE, colour,
                        brix::OgreObjectBuilder::ALIGN_MIDDLE, brix::OgreObjectBuilder::ALIGN_MIDDLE, 0.0f);
        x -= boxWidth + w;
    }

    const float barWidth = SHIELD_WIDTH / mAspectRatio;
    const float energy = mStatus.shieldEnergy;
    const Ogre::ColourValue shield = energy > 0.0f ? SHIELD_COLOUR : FAINT;
    builder.addRectangleOutline(Ogre::Vector3(right - barWidth, SHIELD_ROW, 0.0f),
                                Ogre::Vector3(right, SHIELD_ROW + SHIELD_HEIGHT, 0.0f), LINE_WIDTH, shield);
    const float inside = right - barWidth + w;
    builder.addRectangle(
        Ogre::Vector3(inside, SHIELD_ROW + 0.01f, 0.0f),
        Ogre::Vector3(inside + energy * (barWidth - 0.02f / mAspectRatio), SHIELD_ROW + 0.03f, 0.0f), shield);
    builder.end();

    if (!mInfoImage.empty())
    {
        builder.begin(mInfoImage, true);
        builder.addImage(Ogre::Vector3(-0.5f / mAspectRatio, -0.4f, 0.0f),
                         Ogre::Vector3(0.5f / mAspectRatio, -0.9f, 0.0f), Ogre::Vector2(0.0f, 0.0f),
                         Ogre::Vector2(1.0f, 1.0f), Ogre::ColourValue::White);
        builder.end();
    }
    mBuiltInfoImage = mInfoImage;
    mObject->setBoundingBox(Ogre::AxisAlignedBox::BOX_INFINITE);
}
} // namespace game
