#pragma once
#include <OgreColourValue.h>

#include <string>
#include <vector>

namespace assetgen
{
// Material definitions collected while the meshes are made, written as one OGRE script.
class MaterialScript
{
public:
    // The share of a glowing material's colour that its glow spreads by default.
    static constexpr float GLOW_SHARE = 0.5f;

    // Level blocks: a flat colour lit by the level's light map (see the block shader programs).
    void addBlock(const std::string& name, const Ogre::ColourValue& colour);
    // Lit by the scene's lights, a flat colour with some specular shine (0 for none).
    void addLit(const std::string& name, const Ogre::ColourValue& colour, float shininess = 0);
    // A texture lit by the scene's lights; the texture is sampled without mipmaps, so colour
    // patches stay apart at any distance.
    void addTextured(const std::string& name, const std::string& texture, bool lit = true);
    // Unlit, full colour: lamps, screens, markers. They also draw that share of their colour
    // in the glow scheme, so the cameras' glow filter spreads it around them.
    void addGlow(const std::string& name, const Ogre::ColourValue& colour, float glow = GLOW_SHARE);
    // Lit like addLit; in the glow scheme it draws the colour its owner sets per entity through
    // custom parameter 0, times the gain (nothing at zero, the value until an owner sets it),
    // so each weapon lying in the world pulses on its own.
    void addPulsing(const std::string& name, const Ogre::ColourValue& colour, float shininess, float gain);
    // Added to what is behind it, not writing depth: flashes and energy.
    void addAdditive(const std::string& name, const Ogre::ColourValue& colour);

    // Added like addAdditive, its brightness set per entity through custom parameter 0; at
    // zero (the value until an owner sets it) it shows nothing.
    void addFadingFlash(const std::string& name, const Ogre::ColourValue& colour);

    bool save(const std::string& path) const;

    // The shader programs the materials use, with the shared light-map parameters.
    static bool savePrograms(const std::string& folder);

private:
    std::vector<std::string> mMaterials;
};
} // namespace assetgen
