#pragma once
#include <string>

namespace assetgen
{
class MaterialScript;

// The building blocks: their meshes, their collision point files (the same solids as the
// meshes, without the trim), their body templates ("data/blockbodies.xml") and the catalogue
// "blocks.xml". Blocks are centred on their origin; the grid-snap offset puts their faces on
// whole grid lines. Every regular block is 3 deep, the depth of the play area.
class BlockSet
{
public:
    static bool write(const std::string& rootFolder, MaterialScript& materials);
};
} // namespace assetgen
