#pragma once
#include "game/level/levelmapgenerator.h"

namespace game
{
// The sound map the audio listener samples for its reverb. Red: a tenth of the distance to
// the nearest wall that faces the point head-on; green: a tenth of the mean free distance
// over 12 directions in the play plane, both capped at 1 (RAY_LENGTH away). Points inside
// solid geometry are black, then take the colour of open space up to two texels deep.
class LevelSoundMapGenerator : public LevelMapGenerator
{
public:
    static constexpr unsigned RAY_COUNT = 12;
    static constexpr float RAY_LENGTH = 20.0f;
    // Distances are divided by this to make a channel value.
    static constexpr float DISTANCE_SCALE = 10.0f;
    // A wall counts as facing when the cosine between its normal and the ray is below this.
    static constexpr float FACING_COSINE = -0.85f;
    // The height above the play plane of the ray that tells a point inside solid geometry.
    static constexpr float SOLID_TEST_HEIGHT = 5.0f;

    // The source (not owned) must outlive start; null leaves the doors out.
    LevelSoundMapGenerator(Level* level, const std::string& file, uint32_t width, uint32_t height,
                           const LevelMapSource* entities);
    ~LevelSoundMapGenerator() override;

protected:
    void prepare() override;
    Ogre::ColourValue sample(float x, float y) override;
    void postProcess(Ogre::ColourValue* texels, uint32_t width, uint32_t height) override;
    void onFinished() override;

private:
    const LevelMapSource* mEntities;
};
} // namespace game
