#include "engine/presentation/ogreimagearray.h"

#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreMaterialManager.h>
#include <OgreMaterial.h>
#include <OgrePass.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>
#include <OgreTextureUnitState.h>

namespace brix
{
namespace
{
// The name of texture unit 0 of pass 0 of technique 0, or "" where any of them is missing.
std::string firstTextureName(const Ogre::MaterialPtr& material)
{
    if (material->getNumTechniques() == 0)
        return "";
    const Ogre::Technique* technique = material->getTechnique(0);
    if (technique->getNumPasses() == 0)
        return "";
    const Ogre::Pass* pass = technique->getPass(0);
    if (pass->getNumTextureUnitStates() == 0)
        return "";
    return pass->getTextureUnitState(0)->getTextureName();
}
} // namespace

OgreImageArray::OgreImageArray(const std::string& materialName, unsigned int divisionsX,
                               unsigned int divisionsY)
    : mMaterialName(materialName), mAspectRatio(1.0f), mDivisionsX(divisionsX), mDivisionsY(divisionsY)
{
    if (divisionsX == 0 || divisionsY == 0)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Invalid image array division count",
                    "OgreImageArray::OgreImageArray");

    const std::string& group = Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME;
    std::string textureName;
    Ogre::MaterialPtr material = Ogre::MaterialManager::getSingleton().getByName(materialName, group);
    if (!material)
        Log::error("Image array material '%s' not found", materialName.c_str());
    else
        textureName = firstTextureName(material);
    if (textureName.empty())
    {
        Log::error("Could not determine texture name for image array material '%s'", materialName.c_str());
        return;
    }

    // Without a render system there is no texture manager, and so no texture to measure.
    Ogre::TexturePtr texture;
    if (Ogre::TextureManager::getSingletonPtr())
        texture = Ogre::TextureManager::getSingleton().getByName(textureName, group);
    if (!texture)
    {
        Log::error("Image array texture '%s' not found", textureName.c_str());
        return;
    }
    // A texture named by a material that was never used is not loaded yet, and has no size
    // but the default. Only a render system can load it.
    if (!texture->isLoaded() && Ogre::Root::getSingleton().getRenderSystem())
    {
        try
        {
            texture->load();
        }
        catch (const Ogre::Exception& e)
        {
            Log::error("Image array texture '%s' not loaded: %s", textureName.c_str(),
                       e.getDescription().c_str());
            return;
        }
    }
    const unsigned cellWidth = texture->getWidth() / divisionsX,
                   cellHeight = texture->getHeight() / divisionsY;
    // A texture with fewer pixels than divisions has empty cells: keep the neutral ratio.
    if (cellWidth == 0 || cellHeight == 0)
    {
        Log::error("Image array texture '%s' is too small for %u x %u images", textureName.c_str(),
                   divisionsX, divisionsY);
        return;
    }
    mAspectRatio = static_cast<float>(cellWidth) / cellHeight;
}

OgreImageArray::~OgreImageArray() {}

void OgreImageArray::getUV(unsigned int index, Ogre::Vector2& uv1, Ogre::Vector2& uv2) const
{
    const unsigned column = index % mDivisionsX, row = index / mDivisionsX;
    uv1 = Ogre::Vector2(static_cast<float>(column) / mDivisionsX, static_cast<float>(row) / mDivisionsY);
    uv2 = Ogre::Vector2(static_cast<float>(column + 1) / mDivisionsX,
                        static_cast<float>(row + 1) / mDivisionsY);
}
} // namespace brix
