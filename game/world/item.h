#pragma once
#include "game/world/entity.h"

namespace game
{
// The base of what a human can take from the world: weapons and packages. Taken items come
// back after their respawn delay unless respawning was switched off, as for dropped ones.
class Item : public Entity
{
public:
    explicit Item(EntityManager* manager);

    // The item never comes back once it is taken.
    void disableRespawn() { mRespawnDisabled = true; }
    bool isRespawnDisabled() const { return mRespawnDisabled; }

protected:
    bool mRespawnDisabled = false;
};
} // namespace game
