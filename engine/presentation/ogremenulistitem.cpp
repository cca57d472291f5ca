#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenupage.h"

#include <OgreStringConverter.h>

namespace brix
{
OgreMenuListItem::OgreMenuListItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                   const std::string& description, const Ogre::StringVector& values,
                                   unsigned int index)
    : OgreMenuChoiceItem(page, name, title, description, static_cast<unsigned int>(values.size()), index),
      mValues(values)
{
}

void OgreMenuListItem::setTitle(const std::string& title)
{
    mTitle = title;
    mPage->setModified();
}

void OgreMenuListItem::setDescription(const std::string& description)
{
    mDescription = description;
    mPage->setModified();
}

void OgreMenuListItem::setValues(const Ogre::StringVector& values)
{
    const std::string oldValue = getValue();
    const unsigned int oldIndex = mIndex;
    mValues = values;
    setChoiceCount(static_cast<unsigned int>(mValues.size()));
    if (mIndex != oldIndex || getValue() != oldValue)
        notifyValueChanged();
}

void OgreMenuListItem::setValue(const std::string& value)
{
    for (size_t i = 0; i < mValues.size(); ++i)
        if (mValues[i] == value)
        {
            setIndex(static_cast<unsigned int>(i));
            return;
        }
}

void OgreMenuListItem::setValue(float value)
{
    setValue(Ogre::StringConverter::toString(value));
}

void OgreMenuListItem::setValue(int value)
{
    setValue(Ogre::StringConverter::toString(value));
}

std::string OgreMenuListItem::getValue() const
{
    return mIndex < mValues.size() ? mValues[mIndex] : std::string();
}

int OgreMenuListItem::getValueAsInteger() const
{
    return mIndex < mValues.size() ? Ogre::StringConverter::parseInt(mValues[mIndex], 0) : 0;
}

float OgreMenuListItem::getValueAsFloat() const
{
    return mIndex < mValues.size() ? Ogre::StringConverter::parseReal(mValues[mIndex], 0.0f) : 0.0f;
}

Ogre::Vector2 OgreMenuListItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
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
