#pragma once

namespace brix
{
class OgreMenuTextItem;

// Decides which typed characters a text item accepts.
class OgreMenuTextValidator
{
public:
    virtual ~OgreMenuTextValidator() {}

    // Returns false to drop the character; may replace it in place before it is appended.
    virtual bool validateCharacter(OgreMenuTextItem* item, int& character) = 0;
};
} // namespace brix
