#pragma once
#include <string>

namespace assetgen
{
class MaterialScript;

// The human: rigid limbs on a skeleton, its leg and arm animations, the four skins (each a
// small palette texture that the limbs' texture coordinates pick colours from) and the 2 x 2
// picture of the skins that the player menu shows.
class HumanModel
{
public:
    static const unsigned SKIN_COUNT = 4;
    static const unsigned PALETTE_CELLS = 4; // the palette is a grid of 4 x 4 colour cells
    static const unsigned CELL_PIXELS = 8;
    static const unsigned PORTRAIT_PIXELS = 128;

    // Height of the body origin above the soles when standing straight.
    static constexpr float STAND_HEIGHT = 0.95f;

    static bool write(const std::string& dataFolder, MaterialScript& materials);

private:
    static bool writeSkeleton(const std::string& dataFolder);
    static bool writeMesh(const std::string& dataFolder);
    static bool writeSkins(const std::string& dataFolder, MaterialScript& materials);
};
} // namespace assetgen
