#pragma once
#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenulistener.h"

#include <OgreColourValue.h>
#include <OgreStringVector.h>
#include <OgreVector.h>

#include <map>
#include <string>
#include <vector>

namespace Ogre
{
class ManualObject;
class SceneNode;
} // namespace Ogre

namespace brix
{
class OgreImageArray;
class OgreMenu;
class OgreMenuActionItem;
class OgreMenuImageItem;
class OgreMenuListItem;
class OgreMenuTextItem;
class OgreMenuTitleItem;
class OgreMenuValueItem;

// One screen of a menu: a vertical list of items whose first is always the title, named
// "__title__". Its geometry is one manual object, rebuilt by update only after something
// changed: the font's section for text and shapes, one more section per image material.
// The page owns its items, except those taken out with removeItem.
class OgreMenuPage
{
public:
    static const char* const TITLE_ITEM_NAME;
    // Pages draw after the scene and the labels.
    static const unsigned char RENDER_QUEUE_GROUP = 99;

    // Made hidden, under the menu's node; normally through OgreMenu::addPage. The listener
    // is not owned and may be null.
    OgreMenuPage(OgreMenu* menu, const std::string& name, const std::string& title,
                 OgreMenuListener* listener);
    virtual ~OgreMenuPage();
    OgreMenuPage(const OgreMenuPage&) = delete;
    OgreMenuPage& operator=(const OgreMenuPage&) = delete;

    // Each factory appends the item, which the page then owns, and returns it.
    OgreMenuActionItem* addActionItem(const std::string& name, const std::string& title,
                                      const std::string& description, const std::string& targetPage);
    OgreMenuTextItem* addTextItem(const std::string& name, const std::string& title,
                                  const std::string& description, unsigned int maxLength,
                                  const std::string& value);
    OgreMenuValueItem* addValueItem(const std::string& name, const std::string& title,
                                    const std::string& description, float min, float max, float step,
                                    float value);
    OgreMenuListItem* addListItem(const std::string& name, const std::string& title,
                                  const std::string& description, const Ogre::StringVector& values,
                                  unsigned int index);
    // The images are not owned and must outlive the page.
    OgreMenuImageItem* addImageItem(const std::string& name, const std::string& title,
                                    const std::string& description, float height,
                                    const OgreImageArray* images, unsigned int index);
    // Takes every item of that name out of the page; the caller becomes their owner. The
    // selection stays on the item it was on, or moves back to the nearest selectable one
    // before it when that item went.
    void removeItem(const std::string& name);

    // Null when out of range.
    OgreMenuItem* getItem(unsigned int index);
    // The first item of that name, or null.
    OgreMenuItem* getItem(const std::string& name);
    // 0 (the title's index) when no item has that name.
    unsigned int getItemIndex(const std::string& name) const;
    unsigned int getItemCount() const { return static_cast<unsigned int>(mItems.size()); }
    // Null when the page has no items.
    OgreMenuItem* getCurrentItem();
    unsigned int getCurrentItemIndex() const { return mCurrentItem; }
    // Only an existing, selectable item that is not already current becomes current. No event.
    void setCurrentItem(unsigned int index);
    void setCurrentItem(const std::string& name);

    void setTitle(const std::string& title);
    // The images are not owned; null takes the title image away.
    void setTitleImage(const OgreImageArray* images, unsigned int index, float height);

    // Up and down move the selection to the previous or next selectable item, wrapping;
    // anything else goes to the current item.
    void handleCommand(OgreMenuItem::Command command);
    void handleCharacter(int character);
    // Moves the selection forward off an item that is no longer selectable.
    void checkCurrentItem();
    // Called by the menu when the page is shown: selects the first selectable item and
    // reports the page shown.
    void onShow();
    // Rebuilds the geometry when something changed; costs nothing otherwise.
    void update(float seconds);

    void notifyListener(OgreMenuItem* item, OgreMenuListener::EventType type);
    // The geometry is rebuilt at the next update.
    void setModified() { mModified = true; }
    bool isModified() const { return mModified; }
    // Items call this when their set of image materials changed; the sections are then made
    // anew at the next update.
    void setMaterialsChanged();
    void setVisible(bool visible);
    void setVisibilityFlags(unsigned int flags);

    OgreMenu* getMenu() const { return mMenu; }
    const std::string& getName() const { return mName; }
    // The outer node, which transitions move.
    Ogre::SceneNode* getSceneNode() const { return mOuterNode; }
    Ogre::ManualObject* getManualObject() const { return mObject; }
    // Width and height of the last rebuild.
    const Ogre::Vector2& getSize() const { return mSize; }
    float getTextSize() const;
    Ogre::ColourValue getTextColor(bool selected) const;

private:
    template <typename Item> Item* append(Item* item);
    OgreMenuTitleItem* getTitleItem();
    // Steps the selection one way until it reaches a selectable item, at most once round.
    void walk(bool forwards);
    void collectMaterials();
    // Lays every shown item out downwards from y = 0; returns the page's size.
    Ogre::Vector2 rebuildItems(OgreObjectBuilder& builder, const void* customMaterialId);

    std::string mName;
    OgreMenu* mMenu;
    OgreMenuListener* mListener;
    std::vector<OgreMenuItem*> mItems;
    unsigned int mCurrentItem;
    bool mModified;
    Ogre::SceneNode* mOuterNode;
    Ogre::SceneNode* mInnerNode;
    Ogre::ManualObject* mObject;
    std::map<const void*, std::string> mCustomMaterials;
    bool mMaterialsChanged;
    Ogre::Vector2 mSize;
};
} // namespace brix
