#pragma once
#include "engine/presentation/ogremenuitem.h"

namespace brix
{
// A line that reports its activation and then, when it names one, shows another page.
class OgreMenuActionItem : public OgreMenuItem
{
public:
    OgreMenuActionItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                       const std::string& description, const std::string& targetPage);

    void setTitle(const std::string& title);
    // The page shown after the activation; empty for none.
    void setTargetPage(const std::string& page) { mTargetPage = page; }
    void setDescription(const std::string& description);
    // Columns for the title's "|"-separated cells, such as "0.4l|0.2r_".
    void setTitleFormat(const std::string& format);
    const std::string& getTitle() const { return mTitle; }
    const std::string& getDescription() const { return mDescription; }
    const std::string& getTitleFormat() const { return mTitleFormat; }

    // Activation is reported whatever the state.
    void handleCommand(Command command) override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    std::string mTargetPage;
    std::string mTitle;
    std::string mTitleFormat;
    std::string mDescription;
};
} // namespace brix
