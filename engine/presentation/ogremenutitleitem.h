#pragma once
#include "engine/presentation/ogremenuitem.h"

namespace brix
{
class OgreImageArray;

// A page's first line: its title in large text, or an image from an array when the title is
// empty. With both, the image is drawn over the text's area.
class OgreMenuTitleItem : public OgreMenuItem
{
public:
    // Starts inactive: a title is never selected.
    OgreMenuTitleItem(OgreMenuPage* page, const std::string& name, const std::string& title);

    void setTitle(const std::string& title);
    const std::string& getTitle() const { return mTitle; }
    // The images are not owned; null takes the image away. Height is in scene units.
    void setImage(const OgreImageArray* images, unsigned int index, float height);

    unsigned int getCustomMaterialCount() const override;
    const void* getCustomMaterialId(unsigned int index) const override;
    std::string getCustomMaterial(unsigned int index) const override;
    Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                          const void* customMaterialId, bool selected) override;

private:
    std::string mTitle;
    const OgreImageArray* mImages;
    unsigned int mImageIndex;
    float mImageHeight;
};
} // namespace brix
