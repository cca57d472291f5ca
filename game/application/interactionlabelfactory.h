#pragma once
#include "engine/presentation/labelfactory.h"

namespace game
{
// The label type "interaction", made as game::InteractionLabel.
class InteractionLabelFactory : public brix::LabelFactory
{
public:
    std::string getType() override;
    brix::Label* createLabel(brix::LabelManager* manager) override;
};
} // namespace game
