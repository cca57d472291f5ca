#include "autopilot.h"

#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/humanbody.h"
#include "game/world/weaponslot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace levels
{
namespace
{
using TStep = LevelPlan::TStep;
using game::Controller;

const float TICK_SECONDS = 0.025f;
// Ticks a jump may take to leave the ground before it is pressed again.
const unsigned TAKE_OFF_TICKS = 8;
// Ticks standing after a jump that make a landing; a human at the top of its jump may seem to
// stand for a tick.
const unsigned LANDED_TICKS = 3;
// The mass of the shipped human's bodies (data/entitybodies.xml), in kg.
const float HUMAN_MASS = 75.0f;
// How fast a walking human on the ground slows down once the walk is let go, in m/s^2.
const float BRAKING = game::HumanBody::MAX_WALK_FORCE / HUMAN_MASS;
// What a fight step shoots at, by entity type.
const char* const TARGET_TYPES[] = {"human", "prop", "sentrygun", "drone", "crawler"};
// Slower than this up or down, a human on the ground stands: it is not still climbing a step.
const float STANDING_SPEED = 0.5f;

bool isStanding(const game::Human& human)
{
    return human.isOnGround() && std::fabs(human.getLinearVelocity().y) < STANDING_SPEED;
}
} // namespace

Autopilot::Autopilot(const std::vector<TStep>& route) : mRoute(route) {}

bool Autopilot::next(const game::Human& human, game::EntityManager& entities, Controller::TInput& input)
{
    while (mStep < mRoute.size())
    {
        input = Controller::TInput();
        input.aimX = mFacing;
        if (drive(mRoute[mStep], human, entities, input))
        {
            ++mTicks;
            // A jump is one press: the button is let go on the tick after.
            if (input.buttons & Controller::BUTTON_JUMP)
            {
                if (mJumpHeld)
                    input.buttons &= ~Controller::BUTTON_JUMP;
                mJumpHeld = !mJumpHeld;
            }
            else
                mJumpHeld = false;
            return true;
        }
        ++mStep;
        mTicks = 0;
        mBlocked = 0;
        mTakeOff = 0;
        mLanded = 0;
        mAirborne = false;
        mSinceTarget = 0;
    }
    input = Controller::TInput();
    input.aimX = mFacing;
    return false;
}

bool Autopilot::walksOn() const
{
    if (mStep + 1 >= mRoute.size())
        return false;
    const TStep& step = mRoute[mStep];
    const TStep& next = mRoute[mStep + 1];
    const bool moves = next.kind == TStep::WALK || next.kind == TStep::CROUCH || next.kind == TStep::SHIELD ||
                       next.kind == TStep::JUMP;
    return moves && (next.x - step.x) * (step.x - mStart) > 0.0f;
}

void Autopilot::walkToward(float x, bool brake, const game::Human& human, Controller::TInput& input)
{
    // Held all the way, the key stays down past the point too.
    const float dx = brake ? x - human.getPosition().x : x - mStart;
    // A keyboard walks at full speed or not at all: the key is let go where the human, sliding
    // to a stop on the ground, comes to rest near the point. In the air it stays held.
    const float toward = human.getLinearVelocity().x * (dx > 0.0f ? 1.0f : -1.0f);
    const float braking =
        brake && toward > 0.0f && human.isOnGround() ? toward * toward / (2.0f * BRAKING) : 0.0f;
    if (std::fabs(dx) < std::max(ARRIVAL_DISTANCE * 0.5f, braking))
        return;
    mFacing = dx > 0.0f ? 1.0f : -1.0f;
    input.move = mFacing;
    input.aimX = mFacing;
}

bool Autopilot::drive(const TStep& step, const game::Human& human, game::EntityManager& entities,
                      Controller::TInput& input)
{
    const Ogre::Vector3& position = human.getPosition();
    const bool timedOut = mTicks * TICK_SECONDS >= step.seconds;
    if (mTicks == 0)
        mStart = position.x;
    switch (step.kind)
    {
    case TStep::WALK:
    case TStep::CROUCH:
    case TStep::SHIELD:
    {
        // A walk that goes on into the next step is done once past its x, on the ground.
        const bool through = walksOn();
        if (through && (step.x - position.x) * (step.x - mStart) <= 0.0f && human.isOnGround())
            return false;
        if ((std::fabs(step.x - position.x) < ARRIVAL_DISTANCE && isStanding(human)) || timedOut)
            return false;
        walkToward(step.x, !through, human, input);
        if (step.kind == TStep::CROUCH)
            input.buttons |= Controller::BUTTON_CROUCH;
        else if (step.kind == TStep::SHIELD)
            input.buttons |= Controller::BUTTON_SHIELD;
        else if (isStanding(human) && std::fabs(human.getLinearVelocity().x) < BLOCKED_SPEED && mTicks > 0)
        {
            // Something in the way: step up onto it.
            if (++mBlocked >= BLOCKED_TICKS)
            {
                input.buttons |= Controller::BUTTON_JUMP;
                mBlocked = 0;
            }
        }
        else
            mBlocked = 0;
        return true;
    }
    case TStep::JUMP:
        // A jump starts from the ground: one still falling from the step before lands first.
        if (timedOut)
            return false;
        if (!human.isOnGround())
        {
            mAirborne = mAirborne || mTakeOff > 0;
            mLanded = 0;
        }
        else if (mAirborne && isStanding(human) && ++mLanded >= LANDED_TICKS)
            return false;
        walkToward(step.x, !walksOn(), human, input);
        if (!std::isnan(step.y) && mTakeOff == 0 && (step.x - step.y) * (step.y - position.x) > 0.0f)
            return true;
        if (!mAirborne && human.isOnGround() && mTakeOff++ % TAKE_OFF_TICKS == 0)
            input.buttons |= Controller::BUTTON_JUMP;
        return true;
    case TStep::WAIT:
        return !timedOut;
    case TStep::RIDE:
        return !timedOut && !(isStanding(human) && std::fabs(position.y - step.y) < ARRIVAL_DISTANCE);
    case TStep::INTERACT:
        if (mTicks > 0)
            return false;
        input.buttons |= Controller::BUTTON_INTERACT;
        return true;
    case TStep::FIGHT:
    {
        if (timedOut)
            return false;
        // A step that finds nothing to shoot at from the start is done at once.
        if (const game::Entity* target = findTarget(step, human, entities))
        {
            const Ogre::Vector2 origin = human.getAimOrigin();
            mAim = Ogre::Vector2(target->getPosition().x - origin.x, target->getPosition().y - origin.y);
            mAim.normalise();
            mSinceTarget = 0;
        }
        else if (mTicks == 0)
            return false;
        else if (++mSinceTarget > FIGHT_MARGIN_TICKS)
        {
            // Then a full clip for the next fight: the reload is held until the last shot is done.
            const game::WeaponSlot& weapon = human.getWeaponSlot(human.getCurrentWeaponIndex());
            if (weapon.isReloading() || (weapon.isIdle() && !weapon.canReload()))
                return false;
            input.buttons |= Controller::BUTTON_RELOAD;
            return true;
        }
        input.aimX = mAim.x;
        input.aimY = mAim.y;
        mFacing = mAim.x >= 0.0f ? 1.0f : -1.0f;
        if ((mTicks / TRIGGER_TICKS) % 2 == 0)
            input.buttons |= Controller::BUTTON_SHOOT;
        return true;
    }
    }
    return false;
}

const game::Entity* Autopilot::findTarget(const TStep& step, const game::Human& human,
                                          game::EntityManager& entities) const
{
    const game::Entity* best = nullptr;
    float bestDistance = std::numeric_limits<float>::max();
    std::vector<game::Entity*> found;
    for (const char* type : TARGET_TYPES)
        entities.findEntities(found, Ogre::Vector3(step.x, step.y, 0.0f), FIGHT_RADIUS, type);
    for (const game::Entity* entity : found)
    {
        if (entity == &human || entity->getHealth() <= 0.0f ||
            (entity->getFlags() & game::Entity::ATTRIBUTE_STATIC) != 0)
            continue;
        const Ogre::Vector2 origin = human.getAimOrigin();
        // Only what a shot would reach: not a guard behind a closed door.
        if (entities.checkVisibility(&human, Ogre::Vector3(origin.x, origin.y, 0.0f), entity, true, 0,
                                     false) == 0)
            continue;
        const float distance = entity->getPosition().squaredDistance(human.getPosition());
        if (distance < bestDistance)
        {
            best = entity;
            bestDistance = distance;
        }
    }
    return best;
}
} // namespace levels
