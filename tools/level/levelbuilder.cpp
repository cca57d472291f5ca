#include "levelbuilder.h"

#include "game/level/level.h"

namespace levels
{
LevelBuilder& LevelBuilder::title(const std::string& text)
{
    mTitle = text;
    return *this;
}

LevelBuilder& LevelBuilder::author(const std::string& text)
{
    mAuthor = text;
    return *this;
}

LevelBuilder& LevelBuilder::next(const std::string& name)
{
    mNext = name;
    return *this;
}

LevelBuilder& LevelBuilder::targetTime(float seconds)
{
    mTargetTime = seconds;
    return *this;
}

LevelBuilder& LevelBuilder::block(const std::string& name, const Ogre::Vector3& position,
                                  const Ogre::Quaternion& orientation)
{
    game::LevelPoint point;
    point.type = game::LevelPoint::TYPE_BLOCK;
    point.name = name;
    point.positions.push_back(position);
    point.orientation = orientation;
    mPoints.push_back(point);
    return *this;
}

LevelBuilder& LevelBuilder::row(const std::string& name, float fromX, float toX, float step, float y)
{
    for (float x = fromX; x <= toX + 0.001f; x += step)
        block(name, Ogre::Vector3(x, y, 0.0f));
    return *this;
}

LevelBuilder& LevelBuilder::column(const std::string& name, float x, float fromY, float toY, float step)
{
    for (float y = fromY; y <= toY + 0.001f; y += step)
        block(name, Ogre::Vector3(x, y, 0.0f));
    return *this;
}

LevelBuilder& LevelBuilder::entity(const std::string& name, const Ogre::Vector3& position,
                                   const std::string& state, const Ogre::Quaternion& orientation,
                                   const std::vector<Ogre::Vector3>& extraPositions)
{
    game::LevelPoint point;
    point.type = game::LevelPoint::TYPE_ENTITY;
    point.name = name;
    point.state = state;
    point.positions.push_back(position);
    point.positions.insert(point.positions.end(), extraPositions.begin(), extraPositions.end());
    point.orientation = orientation;
    mPoints.push_back(point);
    return *this;
}

LevelBuilder& LevelBuilder::special(const std::string& name, const Ogre::Vector3& position,
                                    const std::string& value)
{
    game::LevelPoint point;
    point.type = game::LevelPoint::TYPE_SPECIAL;
    point.name = name;
    point.value = value;
    point.positions.push_back(position);
    mPoints.push_back(point);
    return *this;
}

LevelBuilder& LevelBuilder::smallRoom()
{
    row("techfloor", -6, 6, 4, -0.5f);
    special(game::LevelPoint::SINGLE_PLAYER_START, Ogre::Vector3(-4, 1, 0));
    special(game::LevelPoint::MULTIPLAYER_START, Ogre::Vector3(-2, 1, 0));
    special(game::LevelPoint::MULTIPLAYER_START, Ogre::Vector3(2, 1, 0));
    return *this;
}

bool LevelBuilder::save(game::Level& level, const std::string& name) const
{
    level.load(name, true);
    level.setTitle(mTitle);
    level.setAuthor(mAuthor);
    level.setNext(mNext);
    level.setTargetTime(mTargetTime);
    level.getPoints() = mPoints;
    return level.save();
}
} // namespace levels
