#pragma once
#include "tools/level/levelbuilder.h"

namespace test
{
// Levels made in code for the tests: the level tools' builder (blocks, entities, special
// points, a small room with starts), saved through game::Level as a user level.
using levels::LevelBuilder;
} // namespace test
