#pragma once
#include "levelbuilder.h"

#include <string>
#include <vector>

namespace levels
{
// A built-in level as the generator makes it: its layout, and the route a player takes from
// "spstart" to "exit", which the autopilot of the level recorder follows. The helpers put the
// blocks, entities and route steps of common pieces (floors, gaps, lamps) in one place, so each
// level reads as a walk from left to right. Floors are 4 wide and their top is the height
// given; a human stands 1 above the floor top.
class LevelPlan
{
public:
    // One move of the route, done when its condition holds (or its time runs out).
    struct TStep
    {
        enum Kind
        {
            WALK,     // to x
            JUMP,     // a run toward x, jumping on the ground past y (the take-off); done on landing
            CROUCH,   // crouched to x
            WAIT,     // stand still for the seconds
            RIDE,     // stand still until the human is at height y (a lift), at most the seconds
            FIGHT,    // shoot at what can be hurt near (x, y) until nothing there lives, then a little on
            INTERACT, // one press of the interaction button
            SHIELD    // raise the shield and walk to x behind it
        };
        Kind kind;
        float x;
        float y;
        float seconds;
    };

    // Longest wait of a route step that has an end condition.
    static constexpr float STEP_LIMIT = 20.0f;
    static constexpr float FLOOR_WIDTH = 4.0f;
    // Where a human stands above the floor top, and where a lamp hangs.
    static constexpr float STAND_HEIGHT = 1.0f;
    static constexpr float LAMP_HEIGHT = 3.0f;

    LevelBuilder& layout() { return mLayout; }
    const LevelBuilder& layout() const { return mLayout; }
    const std::vector<TStep>& route() const { return mRoute; }

    // Blocks. Slabs of the width and thickness covering fromX to toX (their edges), with their
    // top at the height.
    LevelPlan& floor(const std::string& block, float fromX, float toX, float top, float width = FLOOR_WIDTH,
                     float thickness = 1.0f);
    // Blocks of the height stacked from bottom to top (their edges) with their centre at x.
    LevelPlan& stack(const std::string& block, float x, float bottom, float top, float size);
    // 4 x 4 panels behind the play plane, covering fromX to toX and bottom to top.
    LevelPlan& backdrop(const std::string& block, float fromX, float toX, float bottom, float top);
    LevelPlan& block(const std::string& block, float x, float y);
    LevelPlan& lamp(float x, float y, bool flicker = false);

    // Points; a floor top places the point where a human standing there would be.
    LevelPlan& start(float x, float floorTop);
    LevelPlan& exit(float x, float floorTop);
    LevelPlan& checkpoint(float x, float floorTop);
    LevelPlan& hint(float x, float floorTop, const std::string& text);
    // An entity with its origin at (x, y), in one of the initial states its prototype offers.
    LevelPlan& entity(const std::string& prototype, float x, float y, const std::string& state = "");
    // A lift from its lowest stop up to its highest, both given as the heights its deck is
    // flush with.
    LevelPlan& lift(float x, float bottomTop, float topTop);

    // Route.
    LevelPlan& walk(float x);
    // A running jump that leaves the ground past the take-off and lands at x; without a
    // take-off it jumps at once.
    LevelPlan& jump(float takeOff, float x);
    LevelPlan& jump(float x);
    LevelPlan& crouch(float x);
    LevelPlan& wait(float seconds);
    LevelPlan& ride(float y, float seconds = STEP_LIMIT);
    LevelPlan& fight(float x, float y, float seconds = STEP_LIMIT);
    LevelPlan& interact();
    LevelPlan& shield(float x);

private:
    LevelPlan& step(TStep::Kind kind, float x, float y, float seconds);

    LevelBuilder mLayout;
    std::vector<TStep> mRoute;
};

// The built-in levels: the single-player campaign, chained by "next", and the arenas.
struct TBuiltinLevel
{
    const char* name;
    const char* title;
    // Seconds; 0 for an arena.
    float targetTime;
    // The level that follows; empty for the last one and the arenas.
    const char* next;
    void (*build)(LevelPlan& plan);
};

// In campaign order, then the arenas.
const std::vector<TBuiltinLevel>& getBuiltinLevels();
// The plan of the named level; false when there is none.
bool makeBuiltinPlan(const std::string& name, LevelPlan& plan);
} // namespace levels
