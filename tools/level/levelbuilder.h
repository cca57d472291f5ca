#pragma once
#include "game/level/levelpoint.h"

#include <string>
#include <vector>

namespace game
{
class Level;
}

namespace levels
{
// Makes a level's points in code (blocks, entities, special points) and its header, and
// saves it through game::Level the way the editor does, into the level folder of the level's
// user data directory. The level generator and the game module's tests build levels with it.
class LevelBuilder
{
public:
    LevelBuilder& title(const std::string& text);
    LevelBuilder& author(const std::string& text);
    LevelBuilder& next(const std::string& name);
    LevelBuilder& targetTime(float seconds);

    LevelBuilder& block(const std::string& name, const Ogre::Vector3& position,
                        const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY);
    // Blocks of one kind in a row along x at height y, centres the step apart.
    LevelBuilder& row(const std::string& name, float fromX, float toX, float step, float y);
    // The same in a column along y at x.
    LevelBuilder& column(const std::string& name, float x, float fromY, float toY, float step);
    // Extra positions follow the main one (a platform's route).
    LevelBuilder& entity(const std::string& name, const Ogre::Vector3& position,
                         const std::string& state = "",
                         const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY,
                         const std::vector<Ogre::Vector3>& extraPositions = {});
    LevelBuilder& special(const std::string& name, const Ogre::Vector3& position,
                          const std::string& value = "");

    // A floor of "techfloor" slabs with its top at y = 0 from x = -8 to 8, and the starts a
    // player needs: "spstart" at (-4, 1, 0) and two "mpstart" points.
    LevelBuilder& smallRoom();

    const std::vector<game::LevelPoint>& points() const { return mPoints; }

    // Creates the level under the name in the user's level folder, fills it, saves it and
    // leaves it loaded without a checksum (as after the editor saved it). False when saving
    // failed.
    bool save(game::Level& level, const std::string& name) const;

private:
    std::vector<game::LevelPoint> mPoints;
    std::string mTitle;
    std::string mAuthor;
    std::string mNext;
    float mTargetTime = 0.0f;
};
} // namespace levels
