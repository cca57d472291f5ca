#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenulistener.h"
#include "engine/presentation/ogremenupage.h"

namespace brix
{
OgreMenuActionItem::OgreMenuActionItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                       const std::string& description, const std::string& targetPage)
    : OgreMenuItem(page, name), mTargetPage(targetPage), mTitle(title), mDescription(description)
{
}

void OgreMenuActionItem::setTitle(const std::string& title)
{
    if (title == mTitle)
        return;
    mTitle = title;
    mPage->setModified();
}

void OgreMenuActionItem::setTitleFormat(const std::string& format)
{
    if (format == mTitleFormat)
        return;
    mTitleFormat = format;
    mPage->setModified();
}

void OgreMenuActionItem::setDescription(const std::string& description)
{
    if (description == mDescription)
        return;
    mDescription = description;
    mPage->setModified();
}

void OgreMenuActionItem::handleCommand(Command command)
{
    if (command != COMMAND_ACTIVATE)
        return;
    // The listener may change the menu; the target is read before it is called.
    const std::string target = mTargetPage;
    OgreMenu* menu = mPage->getMenu();
    mPage->notifyListener(this, OgreMenuListener::EVENT_ITEM_ACTIVATED);
    if (!target.empty())
        menu->show(target);
}

Ogre::Vector2 OgreMenuActionItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                          const void* customMaterialId, bool selected)
{
    if (!customMaterialId)
        mSize = rebuildBasicTextItem(builder, position, mTitleFormat, mTitle, mDescription, false, selected);
    return mSize;
}
} // namespace brix
