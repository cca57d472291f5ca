#pragma once
#include "game/level/levelmapgenerator.h"

#include <OgreVector.h>

#include <vector>

namespace game
{
// The light map: the ambient colour plus every static light of the level's entities that
// reaches a point in the play plane unblocked by the level or its closed doors. Texels no
// light reached take the colour of lit neighbours, then the map is blurred.
class LevelLightMapGenerator : public LevelMapGenerator
{
public:
    // A point light when the half-angle is 0, else a spot light along the direction.
    struct TLight
    {
        Ogre::Vector3 position;
        Ogre::Vector3 direction;
        Ogre::ColourValue colour;
        float range;
        float halfAngle; // radians
    };

    static const Ogre::ColourValue AMBIENT;
    // Within this squared distance of a light a point takes its full colour.
    static constexpr float FULL_LIGHT_DISTANCE_SQUARED = 0.01f;
    // A point at the edge of a light's range gets 1 / (1 + FALLOFF) of its colour.
    static constexpr float FALLOFF = 10.0f;

    // The source (not owned) must outlive start; null gives a map of ambient light only.
    LevelLightMapGenerator(Level* level, const std::string& file, uint32_t width, uint32_t height,
                           const LevelMapSource* entities);
    ~LevelLightMapGenerator() override;

    const std::vector<TLight>& getLights() const { return mLights; }

protected:
    void prepare() override;
    Ogre::ColourValue sample(float x, float y) override;
    void postProcess(Ogre::ColourValue* texels, uint32_t width, uint32_t height) override;
    void onFinished() override;

private:
    const LevelMapSource* mEntities;
    std::vector<TLight> mLights;
};
} // namespace game
