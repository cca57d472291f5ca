#pragma once
#include <string>

namespace assetgen
{
// The physics materials ("data/materials.xml") and the entities' body templates
// ("data/entitybodies.xml"). The block bodies come with the blocks.
class PhysicsData
{
public:
    // Mass of each of the human's two bodies, in kilograms.
    static constexpr float HUMAN_MASS = 75.0f;

    static bool write(const std::string& dataFolder);
};
} // namespace assetgen
