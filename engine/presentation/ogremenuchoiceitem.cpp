#include "engine/presentation/ogremenuchoiceitem.h"

namespace brix
{
OgreMenuChoiceItem::OgreMenuChoiceItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                       const std::string& description, unsigned int count, unsigned int index)
    : OgreMenuItem(page, name), mTitle(title), mDescription(description), mMinimum(0), mMaximum(0),
      mIndex(index)
{
    setChoiceCount(count);
}

void OgreMenuChoiceItem::setChoiceCount(unsigned int count)
{
    mMinimum = 0;
    mMaximum = count > 0 ? count - 1 : 0;
    if (mIndex > mMaximum)
        mIndex = mMaximum;
}

unsigned int OgreMenuChoiceItem::limit(unsigned int index) const
{
    if (index < mMinimum)
        return mMinimum;
    if (index > mMaximum)
        return mMaximum;
    return index;
}

void OgreMenuChoiceItem::setIndex(unsigned int index)
{
    if (index == mIndex)
        return;
    mIndex = limit(index);
    notifyValueChanged();
}

void OgreMenuChoiceItem::setIndexLimits(unsigned int min, unsigned int max)
{
    mMinimum = min;
    mMaximum = max;
    const unsigned int index = limit(mIndex);
    if (index == mIndex)
        return;
    mIndex = index;
    notifyValueChanged();
}

void OgreMenuChoiceItem::handleCommand(Command command)
{
    if (mState != STATE_NORMAL || mMaximum == mMinimum)
        return;
    if (command == COMMAND_RIGHT)
        mIndex = mIndex >= mMaximum ? mMinimum : mIndex + 1;
    else if (command == COMMAND_LEFT)
        mIndex = mIndex <= mMinimum ? mMaximum : mIndex - 1;
    else
        return;
    notifyValueChanged();
}
} // namespace brix
