#include "game/world/item.h"

namespace game
{
Item::Item(EntityManager* manager) : Entity(manager) {}
} // namespace game
