#pragma once
#include "game/level/levelmapsource.h"

namespace game
{
class EntityManager;

// Answers the map generators from the entity manager's prototypes: the lights of static
// prototypes and the body templates of doors.
class EntityMapSource : public LevelMapSource
{
public:
    // The manager is not owned and must outlive the generators.
    explicit EntityMapSource(const EntityManager& entities) : mEntities(entities) {}

    bool getStaticLight(const std::string& prototype, Ogre::Vector3& offset, Ogre::ColourValue& colour,
                        float& range, float& angle) const override;
    bool getDoorBodyTemplate(const std::string& prototype, std::string& bodyTemplate) const override;

private:
    const EntityManager& mEntities;
};
} // namespace game
