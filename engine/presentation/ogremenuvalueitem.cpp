#include "engine/presentation/ogremenuvalueitem.h"
#include "engine/presentation/ogremenupage.h"

#include <OgreStringConverter.h>

namespace brix
{
OgreMenuValueItem::OgreMenuValueItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                     const std::string& description, float min, float max, float step,
                                     float value)
    : OgreMenuItem(page, name), mTitle(title), mDescription(description), mMin(min), mMax(max), mStep(step),
      mValue(0)
{
    mValue = limit(value);
}

float OgreMenuValueItem::limit(float value) const
{
    // Written so that NaN falls to the minimum too.
    if (!(value >= mMin))
        return mMin;
    if (value > mMax)
        return mMax;
    return value;
}

void OgreMenuValueItem::setValue(float value)
{
    if (value == mValue)
        return;
    mValue = limit(value);
    notifyValueChanged();
}

void OgreMenuValueItem::setValue(int value)
{
    setValue(static_cast<float>(value));
}

void OgreMenuValueItem::setValue(const std::string& value)
{
    setValue(Ogre::StringConverter::parseReal(value, 0.0f));
}

std::string OgreMenuValueItem::getValue() const
{
    return Ogre::StringConverter::toString(mValue);
}

int OgreMenuValueItem::getValueAsInteger() const
{
    return static_cast<int>(mValue);
}

void OgreMenuValueItem::handleCommand(Command command)
{
    if (mState != STATE_NORMAL)
        return;
    if (command == COMMAND_RIGHT)
    {
        mValue += mStep;
        if (mValue > mMax)
            mValue = mMax;
    }
    else if (command == COMMAND_LEFT)
    {
        mValue -= mStep;
        if (mValue < mMin)
            mValue = mMin;
    }
    else
        return;
    notifyValueChanged();
}

Ogre::Vector2 OgreMenuValueItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                         const void* customMaterialId, bool selected)
{
    if (!customMaterialId)
    {
        const std::string line = (mTitle.empty() ? std::string() : mTitle + ": ") + getValue();
        mSize = rebuildBasicTextItem(builder, position, "", line, mDescription, true, selected);
    }
    return mSize;
}
} // namespace brix
