#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenutextitem.h"
#include "engine/presentation/ogremenutitleitem.h"
#include "engine/presentation/ogremenuvalueitem.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include <OgreAxisAlignedBox.h>
#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>

namespace brix
{
namespace
{
// Where the page's shapes sample the font texture: a solid patch and the two edges of strokes.
const Ogre::Vector2 SOLID_UV(0.03125f, 0.03125f);
const Ogre::Vector2 EDGE_UV_A(0.015f, 0.03125f);
const Ogre::Vector2 EDGE_UV_B(0.0475f, 0.03125f);
// Room between items, in units of the text size.
const float ITEM_GAP = 0.1f;

bool isSelectable(const OgreMenuItem* item)
{
    return item->getState() < OgreMenuItem::STATE_INACTIVE;
}
} // namespace

const char* const OgreMenuPage::TITLE_ITEM_NAME = "__title__";

OgreMenuPage::OgreMenuPage(OgreMenu* menu, const std::string& name, const std::string& title,
                           OgreMenuListener* listener)
    : mName(name), mMenu(menu), mListener(listener), mCurrentItem(0), mModified(true), mOuterNode(nullptr),
      mInnerNode(nullptr), mObject(nullptr), mMaterialsChanged(true), mSize(0, 0)
{
    mOuterNode = menu->getSceneNode()->createChildSceneNode();
    mInnerNode = mOuterNode->createChildSceneNode();
    mObject = menu->getSceneManager()->createManualObject();
    mObject->setRenderQueueGroup(RENDER_QUEUE_GROUP);
    if (menu->isOrthogonal())
    {
        mObject->setUseIdentityView(true);
        mObject->setUseIdentityProjection(true);
    }
    mInnerNode->attachObject(mObject);
    mOuterNode->setVisible(false, true);
    mItems.push_back(new OgreMenuTitleItem(this, TITLE_ITEM_NAME, title));
}

OgreMenuPage::~OgreMenuPage()
{
    for (OgreMenuItem* item : mItems)
        delete item;
    mOuterNode->removeAndDestroyAllChildren();
    Ogre::SceneManager* sceneManager = mMenu->getSceneManager();
    sceneManager->destroyManualObject(mObject);
    sceneManager->destroySceneNode(mOuterNode);
}

template <typename Item> Item* OgreMenuPage::append(Item* item)
{
    mItems.push_back(item);
    mModified = true;
    if (item->getCustomMaterialCount() > 0)
        mMaterialsChanged = true;
    return item;
}

OgreMenuActionItem* OgreMenuPage::addActionItem(const std::string& name, const std::string& title,
                                                const std::string& description, const std::string& targetPage)
{
    return append(new OgreMenuActionItem(this, name, title, description, targetPage));
}

OgreMenuTextItem* OgreMenuPage::addTextItem(const std::string& name, const std::string& title,
                                            const std::string& description, unsigned int maxLength,
                                            const std::string& value)
{
    return append(new OgreMenuTextItem(this, name, title, description, maxLength, value));
}

OgreMenuValueItem* OgreMenuPage::addValueItem(const std::string& name, const std::string& title,
                                              const std::string& description, float min, float max,
                                              float step, float value)
{
    return append(new OgreMenuValueItem(this, name, title, description, min, max, step, value));
}

OgreMenuListItem* OgreMenuPage::addListItem(const std::string& name, const std::string& title,
                                            const std::string& description, const Ogre::StringVector& values,
                                            unsigned int index)
{
    return append(new OgreMenuListItem(this, name, title, description, values, index));
}

OgreMenuImageItem* OgreMenuPage::addImageItem(const std::string& name, const std::string& title,
                                              const std::string& description, float height,
                                              const OgreImageArray* images, unsigned int index)
{
    return append(new OgreMenuImageItem(this, name, title, description, height, images, index));
}

void OgreMenuPage::removeItem(const std::string& name)
{
    // Count the removed items at or below the selection, so that it stays on its own item.
    const unsigned int oldCurrent = mCurrentItem;
    unsigned int removedUpToCurrent = 0;
    bool removedAny = false;
    std::vector<OgreMenuItem*> kept;
    kept.reserve(mItems.size());
    for (unsigned int i = 0; i < mItems.size(); ++i)
    {
        if (mItems[i]->getName() != name)
        {
            kept.push_back(mItems[i]);
            continue;
        }
        removedAny = true;
        mModified = true;
        if (mItems[i]->getCustomMaterialCount() > 0)
            mMaterialsChanged = true;
        if (i <= oldCurrent)
            ++removedUpToCurrent;
    }
    mItems.swap(kept);
    if (!removedAny)
        return;
    if (mItems.empty())
    {
        mCurrentItem = 0;
        return;
    }
    if (removedUpToCurrent == 0)
        return;
    // One past the item the selection was on (or past the one before it, when it went), then
    // one step back as for COMMAND_UP.
    mCurrentItem = oldCurrent + 1 - removedUpToCurrent;
    if (mCurrentItem >= mItems.size())
        mCurrentItem = static_cast<unsigned int>(mItems.size());
    walk(false);
}

OgreMenuItem* OgreMenuPage::getItem(unsigned int index)
{
    return index < mItems.size() ? mItems[index] : nullptr;
}

OgreMenuItem* OgreMenuPage::getItem(const std::string& name)
{
    for (OgreMenuItem* item : mItems)
        if (item->getName() == name)
            return item;
    return nullptr;
}

unsigned int OgreMenuPage::getItemIndex(const std::string& name) const
{
    for (unsigned int i = 0; i < mItems.size(); ++i)
        if (mItems[i]->getName() == name)
            return i;
    return 0;
}

OgreMenuItem* OgreMenuPage::getCurrentItem()
{
    return getItem(mCurrentItem);
}

void OgreMenuPage::setCurrentItem(unsigned int index)
{
    if (index >= mItems.size() || index == mCurrentItem || !isSelectable(mItems[index]))
        return;
    mCurrentItem = index;
    mModified = true;
}

void OgreMenuPage::setCurrentItem(const std::string& name)
{
    for (unsigned int i = 0; i < mItems.size(); ++i)
        if (mItems[i]->getName() == name)
        {
            setCurrentItem(i);
            return;
        }
}

OgreMenuTitleItem* OgreMenuPage::getTitleItem()
{
    return dynamic_cast<OgreMenuTitleItem*>(getItem(TITLE_ITEM_NAME));
}

void OgreMenuPage::setTitle(const std::string& title)
{
    if (OgreMenuTitleItem* item = getTitleItem())
        item->setTitle(title);
}

void OgreMenuPage::setTitleImage(const OgreImageArray* images, unsigned int index, float height)
{
    if (OgreMenuTitleItem* item = getTitleItem())
        item->setImage(images, index, height);
}

void OgreMenuPage::walk(bool forwards)
{
    const unsigned int count = static_cast<unsigned int>(mItems.size());
    for (unsigned int i = 0; i < count; ++i)
    {
        if (forwards)
            mCurrentItem = mCurrentItem + 1 >= count ? 0 : mCurrentItem + 1;
        else
            mCurrentItem = mCurrentItem == 0 || mCurrentItem > count ? count - 1 : mCurrentItem - 1;
        if (isSelectable(mItems[mCurrentItem]))
            break;
    }
    mModified = true;
}

void OgreMenuPage::handleCommand(OgreMenuItem::Command command)
{
    if (mItems.empty())
        return;
    if (command == OgreMenuItem::COMMAND_UP)
        walk(false);
    else if (command == OgreMenuItem::COMMAND_DOWN)
        walk(true);
    else if (OgreMenuItem* item = getCurrentItem())
        item->handleCommand(command);
}

void OgreMenuPage::handleCharacter(int character)
{
    if (OgreMenuItem* item = getCurrentItem())
        item->handleCharacter(character);
}

void OgreMenuPage::checkCurrentItem()
{
    if (mItems.empty())
        return;
    if (mCurrentItem < mItems.size() && isSelectable(mItems[mCurrentItem]))
        return;
    walk(true);
}

void OgreMenuPage::onShow()
{
    mCurrentItem = 0;
    checkCurrentItem();
    mModified = true;
    notifyListener(getCurrentItem(), OgreMenuListener::EVENT_PAGE_SHOWN);
}

void OgreMenuPage::notifyListener(OgreMenuItem* item, OgreMenuListener::EventType type)
{
    if (mListener)
        mListener->onMenuEvent(item, type);
}

void OgreMenuPage::setMaterialsChanged()
{
    mMaterialsChanged = true;
    mModified = true;
}

void OgreMenuPage::setVisible(bool visible)
{
    mOuterNode->setVisible(visible, true);
}

void OgreMenuPage::setVisibilityFlags(unsigned int flags)
{
    mObject->setVisibilityFlags(flags);
}

float OgreMenuPage::getTextSize() const
{
    return mMenu->getTextSize();
}

Ogre::ColourValue OgreMenuPage::getTextColor(bool selected) const
{
    return mMenu->getTextColor(selected);
}

void OgreMenuPage::collectMaterials()
{
    mCustomMaterials.clear();
    for (const OgreMenuItem* item : mItems)
        for (unsigned int m = 0; m < item->getCustomMaterialCount(); ++m)
            mCustomMaterials.emplace(item->getCustomMaterialId(m), item->getCustomMaterial(m));
    // The sections are made anew for the materials now in use.
    mObject->clear();
    mMaterialsChanged = false;
    mModified = true;
}

Ogre::Vector2 OgreMenuPage::rebuildItems(OgreObjectBuilder& builder, const void* customMaterialId)
{
    const float gap = ITEM_GAP * getTextSize();
    Ogre::Vector2 size(0, 0);
    Ogre::Vector3 position(0, 0, 0);
    for (unsigned int i = 0; i < mItems.size(); ++i)
    {
        if (mItems[i]->getState() >= OgreMenuItem::STATE_HIDDEN)
            continue;
        const Ogre::Vector2 result =
            mItems[i]->rebuild(&builder, position, customMaterialId, i == mCurrentItem);
        size.x = std::max(size.x, result.x);
        size.y += result.y + gap;
        position.y -= result.y + gap;
    }
    return size;
}

void OgreMenuPage::update(float seconds)
{
    if (mMaterialsChanged)
        collectMaterials();
    if (!mModified)
        return;
    OgreObjectBuilder builder(mObject, mMenu->getFontName(), SOLID_UV, EDGE_UV_A, EDGE_UV_B);
    builder.setAspectRatio(mMenu->getAspectRatio());
    builder.begin("", true);
    mSize = rebuildItems(builder, nullptr);
    builder.end();
    // Arrays that share a material share its section, so each material's section is filled
    // with every array of it in one pass.
    std::vector<const std::string*> done;
    for (const auto& material : mCustomMaterials)
    {
        if (!material.first ||
            std::find_if(done.begin(), done.end(),
                         [&](const std::string* name) { return *name == material.second; }) != done.end())
            continue;
        done.push_back(&material.second);
        builder.begin(material.second, true);
        for (const auto& same : mCustomMaterials)
            if (same.first && same.second == material.second)
                rebuildItems(builder, same.first);
        builder.end();
    }
    mInnerNode->setPosition(0, mSize.y * 0.5f, 0);
    if (mMenu->isOrthogonal())
        mObject->setBoundingBox(Ogre::AxisAlignedBox(Ogre::AxisAlignedBox::EXTENT_INFINITE));
    mModified = false;
}
} // namespace brix
