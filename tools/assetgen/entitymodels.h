#pragma once
#include <string>

namespace assetgen
{
class MaterialScript;

// The meshes of everything in a level that is not a block or a human: weapons and their
// flashes, the projectile, props, packages, markers, door, platform, shield and the enemies
// (drone, crawler and sentry gun, each on a small skeleton with its animations), and the
// cameras' backdrop. Weapons and the projectile point along +x with their origin at the grip;
// items are centred on their origin.
class EntityModels
{
public:
    static bool write(const std::string& dataFolder, MaterialScript& materials);

private:
    static void addMaterials(MaterialScript& materials);
    static bool writeWeapons(const std::string& dataFolder);
    static bool writeItems(const std::string& dataFolder);
    static bool writeFixtures(const std::string& dataFolder);
    static bool writeDrone(const std::string& dataFolder);
    static bool writeCrawler(const std::string& dataFolder);
    static bool writeSentryGun(const std::string& dataFolder);
    // The level editor's markers for starts, exits, checkpoints and triggers, standing on
    // their origin.
    static bool writeMarkers(const std::string& dataFolder);
    // The backdrop each camera draws far behind the level, facing +z, centred on its origin.
    static bool writeBackground(const std::string& dataFolder);
};
} // namespace assetgen
