#include "game/editor/levelelementselector.h"
#include "engine/presentation/ogreobjectbuilder.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementtype.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cstdlib>

namespace game
{
namespace
{
struct TCategoryRank
{
    const char* category;
    float rank;
};
const TCategoryRank CATEGORY_RANKS[] = {
    {"technical", 0.1f}, {"storage", 0.2f}, {"laboratory", 0.3f}, {"bridge", 0.4f}, {"special", 0.5f}};
const float UNLISTED_RANK = 1.0f;

const float LABEL_FRAME_WIDTH = 0.2f;
const float LABEL_TEXT_SIZE = 0.8f;
const float LABEL_TEXT_RAISE = 2.6f;
const Ogre::ColourValue LABEL_FRAME_COLOUR(1.0f, 1.0f, 1.0f, 0.15f);
const Ogre::ColourValue LABEL_TEXT_COLOUR(1.0f, 1.0f, 1.0f, 0.75f);

float categoryRank(const std::string& category)
{
    for (const TCategoryRank& entry : CATEGORY_RANKS)
        if (category == entry.category)
            return entry.rank;
    return UNLISTED_RANK;
}
} // namespace

const char* const LevelElementSelector::FONT = "menufont";
const Ogre::Vector2 LevelElementSelector::SOLID_UV(0.03125f, 0.03125f);
const Ogre::Vector2 LevelElementSelector::EDGE_UV1(0.015f, 0.03125f);
const Ogre::Vector2 LevelElementSelector::EDGE_UV2(0.0475f, 0.03125f);
const Ogre::Vector3 LevelElementSelector::ORIGIN(-20.0f, 20.0f, 0.0f);

LevelElementSelector::LevelElementSelector(Ogre::SceneNode* parent) : mNode(parent->createChildSceneNode())
{
    mLayer = std::make_unique<LevelElementLayer>(mNode);
    mLabelNode = mNode->createChildSceneNode();
    mLabelObject = mNode->getCreator()->createManualObject();
    mLabelObject->setRenderQueueGroup(LABEL_QUEUE);
    mLabelNode->attachObject(mLabelObject);
    mLabelNode->setVisible(false);
}

LevelElementSelector::~LevelElementSelector()
{
    Ogre::SceneManager* scene = mNode->getCreator();
    mLayer.reset();
    scene->destroyManualObject(mLabelObject);
    scene->destroySceneNode(mLabelNode);
    scene->destroySceneNode(mNode);
}

void LevelElementSelector::addType(const LevelElementType* type)
{
    mTypes.push_back(type);
}

bool LevelElementSelector::compareTypes(const LevelElementType* a, const LevelElementType* b)
{
    const std::string& categoryA = a->getCategory();
    const std::string& categoryB = b->getCategory();
    if (categoryA == categoryB)
        return a->getName() < b->getName();
    const float rankA = categoryRank(categoryA);
    const float rankB = categoryRank(categoryB);
    if (rankA != rankB)
        return rankA < rankB;
    return categoryA < categoryB;
}

void LevelElementSelector::arrange()
{
    std::stable_sort(mTypes.begin(), mTypes.end(), compareTypes);
    mLayer->clear();
    Ogre::Vector3 place = ORIGIN;
    std::string row = mTypes.empty() ? std::string() : mTypes.front()->getCategory();
    for (const LevelElementType* type : mTypes)
    {
        if (type->getCategory() != row)
        {
            row = type->getCategory();
            place.y -= SPACING;
            place.x = ORIGIN.x;
        }
        LevelElement* element = mLayer->createElement(type, place, Ogre::Quaternion::IDENTITY);
        if (type->getKind() != LevelElementType::KIND_BLOCK)
        {
            const Ogre::Vector3 size = type->getMesh()->getBounds().getSize();
            const float largest = std::max(size.x, std::max(size.y, size.z));
            if (largest > 0.0f)
                element->setDisplayScale(PREVIEW_SIZE / largest);
        }
        place.x += SPACING;
    }
    mVisible = true;
    setVisible(false);
}

void LevelElementSelector::setVisible(bool visible)
{
    if (visible == mVisible)
        return;
    mVisible = visible;
    mLayer->setVisible(visible);
    mLabelNode->setVisible(visible && mHovered);
    mLayer->updateDisplay();
}

void LevelElementSelector::open(const Ogre::Vector2& pointer, const LevelElementType* current)
{
    Ogre::Vector3 place(pointer.x, pointer.y, 0.0f);
    std::vector<LevelElement*> elements;
    mLayer->collectElements(elements);
    for (const LevelElement* element : elements)
        if (element->getType() == current)
        {
            const Ogre::Vector3& position = element->getPosition(0)->getPosition();
            place -= Ogre::Vector3(position.x, position.y, 0.0f);
            break;
        }
    mNode->setPosition(place);
    mHovered = nullptr;
    mLabelNode->setVisible(false);
}

void LevelElementSelector::update(const Ogre::Vector2& pointer)
{
    mSpinAngle += SPIN_STEP;
    while (mSpinAngle >= 360.0f)
        mSpinAngle -= 360.0f;
    const Ogre::Quaternion spin(Ogre::Degree(mSpinAngle), Ogre::Vector3::UNIT_Y);
    std::vector<LevelElement*> elements;
    mLayer->collectElements(elements);
    for (LevelElement* element : elements)
        if (element->getType()->getKind() != LevelElementType::KIND_BLOCK)
            element->setOrientation(spin, false);
    mLayer->updateDisplay();

    const Ogre::Vector3& node = mNode->getPosition();
    float range = SPACING;
    const LevelElementPosition* hovered =
        mLayer->findNearestPosition(Ogre::Vector3(pointer.x - node.x, pointer.y - node.y, 0.0f), range);
    const LevelElementType* type = hovered ? hovered->getElement()->getType() : nullptr;
    if (type != mHovered)
    {
        mHovered = type;
        if (type)
            drawLabel(hovered->getPosition());
        mLabelNode->setVisible(type != nullptr);
    }
}

void LevelElementSelector::drawLabel(const Ogre::Vector3& position)
{
    brix::OgreObjectBuilder builder(mLabelObject, FONT, SOLID_UV, EDGE_UV1, EDGE_UV2);
    builder.begin(true);
    const Ogre::Vector3 half(SPACING / 2.0f, SPACING / 2.0f, 0.0f);
    builder.addRectangleOutline(position - half, position + half, LABEL_FRAME_WIDTH, LABEL_FRAME_COLOUR);
    builder.addText(position + Ogre::Vector3(0.0f, LABEL_TEXT_RAISE, 0.0f), mHovered->getName(),
                    LABEL_TEXT_SIZE, LABEL_TEXT_COLOUR, brix::OgreObjectBuilder::ALIGN_MIDDLE,
                    brix::OgreObjectBuilder::ALIGN_MIDDLE, 0.0f);
    builder.end();
}

const LevelElementType* LevelElementSelector::cycleType(const LevelElementType* current, int step) const
{
    const int count = static_cast<int>(mTypes.size());
    if (!current || step == 0 || std::abs(step) >= count)
        return current;
    int index = static_cast<int>(std::find(mTypes.begin(), mTypes.end(), current) - mTypes.begin());
    index += step;
    if (index < 0)
        index += count;
    else if (index >= count)
        index -= count;
    return mTypes[index];
}
} // namespace game
