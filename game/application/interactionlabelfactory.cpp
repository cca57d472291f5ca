#include "game/application/interactionlabelfactory.h"
#include "game/application/interactionlabel.h"

namespace game
{
std::string InteractionLabelFactory::getType()
{
    return "interaction";
}

brix::Label* InteractionLabelFactory::createLabel(brix::LabelManager* manager)
{
    return new InteractionLabel(manager);
}
} // namespace game
