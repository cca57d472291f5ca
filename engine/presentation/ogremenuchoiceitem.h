#pragma once
#include "engine/presentation/ogremenuitem.h"

namespace brix
{
// The index stepping that list and image items share: left and right walk the index between
// its limits and wrap around at either end.
class OgreMenuChoiceItem : public OgreMenuItem
{
public:
    // Reports a change when the index moved; the index is limited to [min, max].
    void setIndex(unsigned int index) override;
    unsigned int getIndex() const override { return mIndex; }
    // Limits the current index to the new range, reporting a change if it had to move.
    void setIndexLimits(unsigned int min, unsigned int max);
    const std::string& getDescription() const { return mDescription; }
    // Left and right step in the normal state only, and only when there is a choice.
    void handleCommand(Command command) override;

protected:
    // Limits 0 and count - 1 (0 and 0 for none); an index above the maximum becomes it.
    OgreMenuChoiceItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                       const std::string& description, unsigned int count, unsigned int index);

    // Resets the limits to a choice of count entries, without reporting anything.
    void setChoiceCount(unsigned int count);
    unsigned int limit(unsigned int index) const;

    std::string mTitle;
    std::string mDescription;
    unsigned int mMinimum;
    unsigned int mMaximum;
    unsigned int mIndex;
};
} // namespace brix
