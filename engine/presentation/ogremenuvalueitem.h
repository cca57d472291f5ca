#pragma once
#include "engine/presentation/ogremenuitem.h"

namespace brix
{
// A number between limits, stepped with left and right.
class OgreMenuValueItem : public OgreMenuItem
{
public:
    // A value outside [min, max] starts at the nearer limit.
    OgreMenuValueItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                      const std::string& description, float min, float max, float step, float value);

    // Reports a change whenever the new value differs from the old one before limiting.
    void setValue(float value) override;
    void setValue(int value) override;
    // Text that holds no number reads as 0.
    void setValue(const std::string& value) override;
    std::string getValue() const override;
    // Truncated toward zero.
    int getValueAsInteger() const override;
    float getValueAsFloat() const override { return mValue; }
    // Left and right step in the normal state only, and report a change even at a limit.
    void handleCommand(Command command) override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    float limit(float value) const;

    std::string mTitle;
    std::string mDescription;
    float mMin;
    float mMax;
    float mStep;
    float mValue;
};
} // namespace brix
