#pragma once
#include "engine/presentation/ogremenuchoiceitem.h"

#include <OgreStringVector.h>

namespace brix
{
// A choice from a list of strings.
class OgreMenuListItem : public OgreMenuChoiceItem
{
public:
    // An index past the last entry starts at the last entry.
    OgreMenuListItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                     const std::string& description, const Ogre::StringVector& values, unsigned int index);

    void setTitle(const std::string& title);
    void setDescription(const std::string& description);
    // Replaces the entries and resets the limits to all of them. A change is reported only
    // when the index or the chosen entry differs afterwards.
    void setValues(const Ogre::StringVector& values);

    // Chooses the first entry equal to the value; nothing happens when none is.
    void setValue(const std::string& value) override;
    void setValue(float value) override;
    void setValue(int value) override;
    // The chosen entry; "" (or 0) when the index lies past the entries.
    std::string getValue() const override;
    int getValueAsInteger() const override;
    float getValueAsFloat() const override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    Ogre::StringVector mValues;
};
} // namespace brix
