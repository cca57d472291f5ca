#pragma once
#include "engine/presentation/ogremenuchoiceitem.h"

namespace brix
{
class OgreImageArray;

// A choice from the images of an array, drawn under its title line, centred, and 20 % larger
// while selected.
class OgreMenuImageItem : public OgreMenuChoiceItem
{
public:
    // The images are not owned and must outlive the item. Without images (null) the item
    // offers no choice and draws only its text. An index past the last image starts at it.
    OgreMenuImageItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                      const std::string& description, float height, const OgreImageArray* images,
                      unsigned int index);

    unsigned int getCustomMaterialCount() const override;
    const void* getCustomMaterialId(unsigned int index) const override;
    std::string getCustomMaterial(unsigned int index) const override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    float mHeight;
    const OgreImageArray* mImages;
};
} // namespace brix
