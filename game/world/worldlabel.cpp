#include "game/world/worldlabel.h"

namespace game
{
WorldLabel::WorldLabel(brix::LabelManager* manager) : brix::Label(manager) {}

void WorldLabel::setText(const std::string& text)
{
    if (text == mText)
        return;
    mText = text;
    mDirtyLayers |= mLayerFlags;
}
} // namespace game
