#pragma once
#include <OgreVector.h>

#include <string>

namespace brix
{
// One material's texture seen as a grid of equally sized images, numbered row by row from
// the top-left cell: portrait sheets, level thumbnails. Missing resources are logged and
// leave the array usable with an aspect ratio of 1.
class OgreImageArray
{
public:
    // Throws Ogre::InvalidParametersException when either division count is 0.
    OgreImageArray(const std::string& materialName, unsigned int divisionsX, unsigned int divisionsY);
    virtual ~OgreImageArray();

    unsigned int getCount() const { return mDivisionsX * mDivisionsY; }
    // Width over height of one image, in whole texture pixels.
    float getAspectRatio() const { return mAspectRatio; }
    std::string getMaterial() const { return mMaterialName; }
    // uv1 is the image's top-left texture coordinate, uv2 its bottom-right. The index is not
    // checked: keep it below getCount().
    void getUV(unsigned int index, Ogre::Vector2& uv1, Ogre::Vector2& uv2) const;

private:
    std::string mMaterialName;
    float mAspectRatio;
    unsigned int mDivisionsX;
    unsigned int mDivisionsY;
};
} // namespace brix
