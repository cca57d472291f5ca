#pragma once
#include "engine/presentation/ogremenuitem.h"

namespace brix
{
class OgreMenuTextValidator;

// An editable line of text, typed character by character, copied to and pasted from the
// clipboard. Values are UTF-8 at the interface and limited to a number of characters (code
// points); malformed UTF-8, from the clipboard or anywhere else, is kept as U+FFFD.
class OgreMenuTextItem : public OgreMenuItem
{
public:
    // The value is cut to maxLength characters.
    OgreMenuTextItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                     const std::string& description, unsigned int maxLength, const std::string& value);

    // The validator is not owned; null accepts every character.
    void setValidator(OgreMenuTextValidator* validator) { mValidator = validator; }

    // Replaces the value (cut to the maximum length) without reporting a change.
    void setValue(const std::string& value) override;
    void setValue(float value) override;
    void setValue(int value) override;
    // The value without leading and trailing blanks (U+0020 only).
    std::string getValue() const override;
    // Read from the value as it stands, blanks included; 0 when it holds no number.
    int getValueAsInteger() const override;
    float getValueAsFloat() const override;
    // Activation is reported in every state; copy and paste need the menu's window. Paste
    // bypasses the state and the validator and reports nothing; control codes are dropped.
    void handleCommand(Command command) override;
    // Only in the normal state: 8 removes the last character, other codes below 32 and
    // anything that is not a Unicode scalar value are ignored.
    void handleCharacter(int character) override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    std::string getRawValue() const;

    std::string mTitle;
    std::string mDescription;
    std::u32string mValue;
    unsigned int mMaxLength;
    OgreMenuTextValidator* mValidator;
};
} // namespace brix
