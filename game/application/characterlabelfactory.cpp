#include "game/application/characterlabelfactory.h"
#include "game/application/characterlabel.h"

namespace game
{
std::string CharacterLabelFactory::getType()
{
    return "character";
}

brix::Label* CharacterLabelFactory::createLabel(brix::LabelManager* manager)
{
    return new CharacterLabel(manager);
}
} // namespace game
