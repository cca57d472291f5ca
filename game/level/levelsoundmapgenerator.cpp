#include "game/level/levelsoundmapgenerator.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"

#include <OgreMath.h>
#include <OgreQuaternion.h>

namespace game
{
namespace
{
// Solid texels next to open space are filled this many texels deep.
const int FILL_PASSES = 2;
} // namespace

LevelSoundMapGenerator::LevelSoundMapGenerator(Level* level, const std::string& file, uint32_t width,
                                               uint32_t height, const LevelMapSource* entities)
    : LevelMapGenerator(level, file, width, height), mEntities(entities)
{
}

LevelSoundMapGenerator::~LevelSoundMapGenerator()
{
    abort();
}

void LevelSoundMapGenerator::prepare()
{
    prepareWorld(mEntities);
}

Ogre::ColourValue LevelSoundMapGenerator::sample(float x, float y)
{
    const Ogre::Vector3 point(x, y, 0.0f);
    brix::Simulator* world = getWorld();
    if (world->traceRay(point + Ogre::Vector3(0.0f, 0.0f, SOLID_TEST_HEIGHT), point, nullptr, nullptr))
        return Ogre::ColourValue::Black;
    float nearest = RAY_LENGTH;
    float sum = 0.0f;
    for (unsigned ray = 0; ray < RAY_COUNT; ++ray)
    {
        const Ogre::Quaternion turn(Ogre::Degree(360.0f * ray / RAY_COUNT), Ogre::Vector3::UNIT_Z);
        const Ogre::Vector3 direction = turn * Ogre::Vector3::UNIT_X;
        brix::TTraceContact contact;
        float distance = RAY_LENGTH;
        if (world->traceRay(point, point + direction * RAY_LENGTH, &contact, nullptr))
        {
            distance = contact.distance;
            if (distance < nearest && contact.normal.dotProduct(direction) < FACING_COSINE)
                nearest = distance;
        }
        sum += distance;
    }
    Ogre::ColourValue colour(nearest / DISTANCE_SCALE, sum / RAY_COUNT / DISTANCE_SCALE, 0.0f, 1.0f);
    colour.saturate();
    return colour;
}

void LevelSoundMapGenerator::postProcess(Ogre::ColourValue* texels, uint32_t width, uint32_t height)
{
    for (int pass = 0; pass < FILL_PASSES; ++pass)
        fillUnsetTexels(texels, width, height, Ogre::ColourValue::Black);
}

void LevelSoundMapGenerator::onFinished()
{
    mLevel->loadSoundMap();
}
} // namespace game
