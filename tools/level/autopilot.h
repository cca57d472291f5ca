#pragma once
#include "levelplan.h"

#include "game/world/controller.h"

#include <OgreVector.h>

#include <vector>

namespace game
{
class Entity;
class EntityManager;
class Human;
} // namespace game

namespace levels
{
// A player who follows a level's route: each tick it looks at its human and the world and
// gives the input a player would, stepping up onto what blocks its walk, aiming at what a
// fight step names and shooting until it falls. Deterministic: the same world gives the same
// inputs.
class Autopilot
{
public:
    // Nearer than this to its x a move step is done.
    static constexpr float ARRIVAL_DISTANCE = 0.25f;
    // A fight step shoots at what lives this near its point, in sight.
    static constexpr float FIGHT_RADIUS = 9.0f;
    // Ticks on the ground without getting anywhere before a walk jumps: enough that a replay
    // arriving a few ticks later still jumps from the foot of the step, settled.
    static constexpr unsigned BLOCKED_TICKS = 16;
    // Below this speed a walking human counts as blocked.
    static constexpr float BLOCKED_SPEED = 0.5f;
    // Ticks a shot is held and then released: single-shot weapons fire on each press.
    static constexpr unsigned TRIGGER_TICKS = 2;
    // Ticks a fight goes on shooting where its last target fell, before it reloads: a replay
    // whose shots hit less, or whose target stands a little elsewhere, still has shots to finish
    // it.
    static constexpr unsigned FIGHT_MARGIN_TICKS = 40;

    explicit Autopilot(const std::vector<LevelPlan::TStep>& route);

    // The input for the next tick. False once the route is done (the input is then to stand).
    bool next(const game::Human& human, game::EntityManager& entities, game::Controller::TInput& input);
    // The index of the step under way; the route's size once done.
    size_t getStep() const { return mStep; }

private:
    // Fills the input for the step under way; false when the step is done.
    bool drive(const LevelPlan::TStep& step, const game::Human& human, game::EntityManager& entities,
               game::Controller::TInput& input);
    // With brake, the walk is let go in time to stop at x; without, it is held all the way.
    void walkToward(float x, bool brake, const game::Human& human, game::Controller::TInput& input);
    // Whether the step after the one under way walks on past its x the same way: a keyboard
    // player keeps the key held there rather than stopping and starting again.
    bool walksOn() const;
    // The nearest living target of a fight step in sight of the human, or null.
    const game::Entity* findTarget(const LevelPlan::TStep& step, const game::Human& human,
                                   game::EntityManager& entities) const;

    std::vector<LevelPlan::TStep> mRoute;
    size_t mStep = 0;
    // Ticks into the step under way.
    unsigned mTicks = 0;
    unsigned mBlocked = 0;
    // Where the human stood when the step began.
    float mStart = 0.0f;
    // Ticks on the ground since a jump step first pressed to take off.
    unsigned mTakeOff = 0;
    unsigned mLanded = 0;
    bool mAirborne = false;
    float mFacing = 1.0f;
    bool mJumpHeld = false;
    // Ticks since a fight step last had a target, and where it aimed then.
    unsigned mSinceTarget = 0;
    Ogre::Vector2 mAim = Ogre::Vector2::UNIT_X;
};
} // namespace levels
