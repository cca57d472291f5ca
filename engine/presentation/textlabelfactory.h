#pragma once
#include "engine/presentation/labelfactory.h"

namespace brix
{
// The engine's own label type "text", made as brix::TextLabel.
class TextLabelFactory : public LabelFactory
{
public:
    std::string getType() override;
    Label* createLabel(LabelManager* manager) override;
};
} // namespace brix
