#include "game/level/levellightmapgenerator.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/level/levelmapsource.h"
#include "game/level/levelpoint.h"
#include "toolkit/log.h"

#include <OgreMath.h>

#include <cmath>

namespace game
{
namespace
{
const float BLUR_WEIGHTS[] = {0.1f, 0.2f, 0.4f, 0.2f, 0.1f};
const int BLUR_RADIUS = 2;
} // namespace

const Ogre::ColourValue LevelLightMapGenerator::AMBIENT(0.02f, 0.02f, 0.02f, 1.0f);

LevelLightMapGenerator::LevelLightMapGenerator(Level* level, const std::string& file, uint32_t width,
                                               uint32_t height, const LevelMapSource* entities)
    : LevelMapGenerator(level, file, width, height), mEntities(entities)
{
}

LevelLightMapGenerator::~LevelLightMapGenerator()
{
    // The worker reads the lights: it stops before they go.
    abort();
}

void LevelLightMapGenerator::prepare()
{
    mLights.clear();
    for (const LevelPoint& point : mLevel->getPoints())
    {
        if (point.type != LevelPoint::TYPE_ENTITY || !mEntities)
            continue;
        Ogre::Vector3 offset = Ogre::Vector3::ZERO;
        Ogre::ColourValue colour = Ogre::ColourValue::White;
        float range = 0.0f;
        float angle = 0.0f;
        if (!mEntities->getStaticLight(point.name, offset, colour, range, angle))
            continue;
        mLights.push_back({point.orientation * offset + point.getPosition(),
                           point.orientation * Ogre::Vector3::NEGATIVE_UNIT_Y, colour, range,
                           Ogre::Degree(angle).valueRadians()});
    }
    brix::Log::debug("Added %d static lights to light map generator", static_cast<int>(mLights.size()));
    prepareWorld(mEntities);
}

Ogre::ColourValue LevelLightMapGenerator::sample(float x, float y)
{
    const Ogre::Vector3 point(x, y, 0.0f);
    Ogre::ColourValue colour = AMBIENT;
    brix::Simulator* world = getWorld();
    for (const TLight& light : mLights)
    {
        const Ogre::Vector3 offset = point - light.position;
        const float distanceSquared = offset.squaredLength();
        const float rangeSquared = light.range * light.range;
        if (distanceSquared > rangeSquared)
            continue;
        // On the cone's edge counts as inside.
        if (light.halfAngle > 0.0f &&
            std::cos(light.halfAngle) > offset.normalisedCopy().dotProduct(light.direction))
            continue;
        if (world->traceRay(light.position, point, nullptr, nullptr))
            continue;
        const float attenuation = distanceSquared <= FULL_LIGHT_DISTANCE_SQUARED
                                      ? 1.0f
                                      : 1.0f / (1.0f + distanceSquared * FALLOFF / rangeSquared);
        colour += light.colour * attenuation;
        colour.a = 1.0f;
    }
    colour.saturate();
    return colour;
}

void LevelLightMapGenerator::postProcess(Ogre::ColourValue* texels, uint32_t width, uint32_t height)
{
    fillUnsetTexels(texels, width, height, AMBIENT);
    blur(texels, width, height, BLUR_WEIGHTS, BLUR_RADIUS, true);
    blur(texels, width, height, BLUR_WEIGHTS, BLUR_RADIUS, false);
}

void LevelLightMapGenerator::onFinished()
{
    mLevel->reloadLightMapTexture();
}
} // namespace game
