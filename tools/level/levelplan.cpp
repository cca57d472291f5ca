#include "levelplan.h"

#include <cmath>

namespace levels
{
namespace
{
Ogre::Vector3 at(float x, float y, float z = 0.0f)
{
    return Ogre::Vector3(x, y, z);
}

// Backdrop panels stand this far behind the play plane, clear of the 3-deep floors.
const float BACKDROP_DEPTH = -1.8f;
const float BACKDROP_SIZE = 4.0f;
// A platform's origin lies this far below its deck.
const float PLATFORM_DECK = 0.15f;
} // namespace

LevelPlan& LevelPlan::floor(const std::string& block, float fromX, float toX, float top, float width,
                            float thickness)
{
    const float half = width * 0.5f;
    for (float x = fromX + half; x <= toX - half + 0.001f; x += width)
        mLayout.block(block, at(x, top - thickness * 0.5f));
    return *this;
}

LevelPlan& LevelPlan::stack(const std::string& block, float x, float bottom, float top, float size)
{
    const float half = size * 0.5f;
    for (float y = bottom + half; y <= top - half + 0.001f; y += size)
        mLayout.block(block, at(x, y));
    return *this;
}

LevelPlan& LevelPlan::backdrop(const std::string& block, float fromX, float toX, float bottom, float top)
{
    const float half = BACKDROP_SIZE * 0.5f;
    for (float x = fromX + half; x <= toX - half + 0.001f; x += BACKDROP_SIZE)
        for (float y = bottom + half; y <= top - half + 0.001f; y += BACKDROP_SIZE)
            mLayout.block(block, at(x, y, BACKDROP_DEPTH));
    return *this;
}

LevelPlan& LevelPlan::block(const std::string& block, float x, float y)
{
    mLayout.block(block, at(x, y));
    return *this;
}

LevelPlan& LevelPlan::lamp(float x, float y, bool flicker)
{
    mLayout.entity(flicker ? "flickerlamp" : "lamp", at(x, y, BACKDROP_DEPTH + 0.4f));
    return *this;
}

LevelPlan& LevelPlan::start(float x, float floorTop)
{
    mLayout.special(game::LevelPoint::SINGLE_PLAYER_START, at(x, floorTop + STAND_HEIGHT));
    return *this;
}

LevelPlan& LevelPlan::exit(float x, float floorTop)
{
    mLayout.special("exit", at(x, floorTop + STAND_HEIGHT));
    return *this;
}

LevelPlan& LevelPlan::checkpoint(float x, float floorTop)
{
    mLayout.special("checkpoint", at(x, floorTop + STAND_HEIGHT));
    return *this;
}

LevelPlan& LevelPlan::hint(float x, float floorTop, const std::string& text)
{
    mLayout.special(game::LevelPoint::HINT, at(x, floorTop + STAND_HEIGHT), text);
    return *this;
}

LevelPlan& LevelPlan::entity(const std::string& prototype, float x, float y, const std::string& state)
{
    mLayout.entity(prototype, at(x, y), state);
    return *this;
}

LevelPlan& LevelPlan::lift(float x, float bottomTop, float topTop)
{
    mLayout.entity("platform", at(x, bottomTop - PLATFORM_DECK), "", Ogre::Quaternion::IDENTITY,
                   {at(x, topTop - PLATFORM_DECK)});
    return *this;
}

LevelPlan& LevelPlan::step(TStep::Kind kind, float x, float y, float seconds)
{
    mRoute.push_back({kind, x, y, seconds});
    return *this;
}

LevelPlan& LevelPlan::walk(float x)
{
    return step(TStep::WALK, x, 0.0f, STEP_LIMIT);
}

LevelPlan& LevelPlan::jump(float takeOff, float x)
{
    return step(TStep::JUMP, x, takeOff, STEP_LIMIT);
}

LevelPlan& LevelPlan::jump(float x)
{
    return step(TStep::JUMP, x, NAN, STEP_LIMIT);
}

LevelPlan& LevelPlan::crouch(float x)
{
    return step(TStep::CROUCH, x, 0.0f, STEP_LIMIT);
}

LevelPlan& LevelPlan::wait(float seconds)
{
    return step(TStep::WAIT, 0.0f, 0.0f, seconds);
}

LevelPlan& LevelPlan::ride(float y, float seconds)
{
    return step(TStep::RIDE, 0.0f, y, seconds);
}

LevelPlan& LevelPlan::fight(float x, float y, float seconds)
{
    return step(TStep::FIGHT, x, y, seconds);
}

LevelPlan& LevelPlan::interact()
{
    return step(TStep::INTERACT, 0.0f, 0.0f, 0.0f);
}

LevelPlan& LevelPlan::shield(float x)
{
    return step(TStep::SHIELD, x, 0.0f, STEP_LIMIT);
}
} // namespace levels
