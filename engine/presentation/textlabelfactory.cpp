#include "engine/presentation/textlabelfactory.h"
#include "engine/presentation/textlabel.h"

namespace brix
{
std::string TextLabelFactory::getType()
{
    return "text";
}

Label* TextLabelFactory::createLabel(LabelManager* manager)
{
    return new TextLabel(manager);
}
} // namespace brix
