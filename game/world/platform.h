#pragma once
#include "engine/core/movablecontroller.h"
#include "game/world/entity.h"
#include "game/world/mechanismparts.h"

#include <vector>

namespace game
{
// A lift cabin travelling along a route of points. It waits at a point and leaves when a human
// has stood in its cabin for the wait time, or when a player calls it to another point; it
// ramps its speed up and down and turns back at the ends of the route. The platform is its
// body's controller and pulls the body toward a target point moving along the route.
//
// A platform with fewer than two route points has nowhere to go and rests where it stands.
class Platform : public Entity, public brix::MovableController
{
public:
    enum PlatformState : unsigned
    {
        WAITING = 0,
        MOVING = 1
    };

    // The level editor lets a platform element hold this many positions; index and called
    // target travel wide enough that every one of them is told apart on clients.
    static constexpr unsigned MAX_ROUTE_POINTS = 16;
    static constexpr unsigned INDEX_BITS = 4;
    static constexpr unsigned CALLED_TARGET_BITS = 5;
    // Humans within this distance of the platform are tested against its cabin.
    static constexpr float REACH = 2.0f;
    // A call reaches this much wider than the cabin; so does a stop's label.
    static constexpr float CALL_MARGIN = 3.0f;
    // Sides of a label's pointer line.
    enum LabelPlacement : int
    {
        PLACEMENT_NONE = 0,
        PLACEMENT_ABOVE = 1,
        PLACEMENT_BELOW = 2,
        PLACEMENT_LEFT = 3,
        PLACEMENT_RIGHT = 4
    };
    // A trip held back beyond the tolerance for longer than this turns around.
    static constexpr unsigned MAX_BLOCKED_TICKS = 160;
    static constexpr float EMPTY_SPEED_FACTOR = 1.4f;
    static constexpr float MINIMUM_SPEED = 0.1f;
    static constexpr float GRAVITY = 9.81f;
    static constexpr float VELOCITY_LIMIT = 5.0f;

    explicit Platform(EntityManager* manager);
    ~Platform() override;

    std::string getType() const override { return "platform"; }
    Entity* createInstance() override { return new Platform(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    void spawn() override;
    void remove() override;
    void kill() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;
    // The controller step, inside each physics step.
    void update(brix::Movable* movable, float step) override;

    // Appends a route point (world position); points beyond MAX_ROUTE_POINTS are logged and left out.
    void addRoutePoint(const Ogre::Vector3& point);
    unsigned getRoutePointCount() const { return static_cast<unsigned>(mRoutePoints.size()); }
    // Zero for an index out of range.
    Ogre::Vector3 getRoutePoint(unsigned index) const;
    // The same route under the names of the entity manager's relevance test.
    unsigned getWaypointCount() const { return getRoutePointCount(); }
    Ogre::Vector3 getWaypoint(unsigned index) const { return getRoutePoint(index); }
    // A human's interaction at a position: true when the position is at one of the route's
    // stops, which then calls the cabin there (or turns its next departure around).
    bool call(const Ogre::Vector3& position);

    PlatformState getPlatformState() const { return static_cast<PlatformState>(mPlatformState); }
    unsigned getIndex() const { return mIndex; }
    // 1 + the index of the called point, 0 when none.
    unsigned getCalledTarget() const { return mCalledTarget; }
    float getDirection() const { return mDirection; }
    float getCurrentSpeed() const { return mCurrentSpeed; }
    bool isOccupied() const { return mOccupied; }
    // The "interaction" label at each route point; empty without a label manager.
    const std::vector<WorldLabel*>& getLabels() const { return mLabels; }

private:
    unsigned nextIndex(unsigned index, float direction) const;
    Ogre::Vector3 segmentVector(unsigned index, float direction) const;
    void startSegment(unsigned index, float direction);
    // Toward a called point that is not here; false when the trip ends.
    bool continueToCall();
    void turnAtEnds();
    bool canTravel() const { return mRoutePoints.size() >= 2; }
    // Shows each stop's label to the players standing there, with where the cabin will go.
    void updateLabels();

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SamplePtr mStartSound;
    SamplePtr mMoveSound;
    SamplePtr mStopSound;
    SamplePtr mInteractSound;
    float mRouteSpeed = 0.0f;
    float mRouteSpeedRamp = 0.0f;
    float mRouteWait = 0.0f;
    float mControllerGain = 0.0f;
    float mControllerLimit = 0.0f;
    float mControllerDamping = 0.0f;
    float mPositionErrorTolerance = 0.0f;
    Ogre::Vector3 mCabinCenter = Ogre::Vector3::ZERO;
    Ogre::Vector3 mCabinSize = Ogre::Vector3::ZERO;

    // Run time.
    MechanismParts mParts;
    std::vector<Ogre::Vector3> mRoutePoints;
    unsigned mIndex = 0;
    float mSegmentLength = 0.0f;
    float mProgress = 0.0f;
    float mCurrentSpeed = 0.0f;
    bool mRampIn = true;
    bool mRampOut = true;
    float mSegmentDirection = -1.0f;
    float mPositionError = 0.0f;
    unsigned mCalledTarget = 0;
    unsigned mPreviousCalledTarget = 0;
    float mDirection = 1.0f;
    float mPreviousDirection = 1.0f;
    unsigned mMoveSoundHandle = 0;
    unsigned mPlatformState = WAITING;
    unsigned mPreviousPlatformState = WAITING;
    unsigned mTimer = 0;
    bool mOccupied = false;
    std::vector<WorldLabel*> mLabels;
};
} // namespace game
