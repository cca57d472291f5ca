#pragma once
#include "engine/presentation/labelfactory.h"

namespace game
{
// The label type "character", made as game::CharacterLabel.
class CharacterLabelFactory : public brix::LabelFactory
{
public:
    std::string getType() override;
    brix::Label* createLabel(brix::LabelManager* manager) override;
};
} // namespace game
