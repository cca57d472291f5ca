#include "support/game/editorrig.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementselector.h"
#include "game/editor/levelelementtype.h"
#include "game/level/level.h"
#include "support/ogre/shownlines.h"

#include <OgreManualObject.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace test
{
namespace
{
const unsigned DISPLAY_LINES = 64;
const float DISPLAY_LIFETIME = 3600.0f;
// The largest pointer motion moveTo makes at once.
const float POINTER_STEP = 40.0f;
} // namespace

const char* const EditorRig::DEFINITIONS = R"(
<prop>
    <name>crate</name><id>10</id><category>props</category><gridsnapoffset>0 0.5 0</gridsnapoffset>
    <body>crate</body><mesh>crate.mesh</mesh>
</prop>
<prop>
    <name>lamp</name><id>11</id><category>lights</category><attributes><static>true</static></attributes>
    <mesh>barrel.mesh</mesh>
</prop>
<prop>
    <name>pillar</name><id>12</id><category>props</category>
    <attributes><editnorotate>true</editnorotate><editnomovez>true</editnomovez></attributes>
    <defaultdepth>-1</defaultdepth><body>crate</body><mesh>crate.mesh</mesh>
</prop>
<prop>
    <name>ghost</name><id>13</id><category>props</category><attributes><edithide>true</edithide></attributes>
    <body>crate</body><mesh>crate.mesh</mesh>
</prop>
<platform>
    <name>lift</name><id>14</id><category>platforms</category><body>platform</body><mesh>platform.mesh</mesh>
</platform>
<human>
    <name>player</name><id>1</id><weapon>pistol</weapon><integrity>100</integrity>
    <attributes><edithide>true</edithide></attributes>
</human>
<weapon>
    <name>pistol</name><id>199</id><displayname>Pistol</displayname><mesh>pistol.mesh</mesh>
    <attributes><edithide>true</edithide></attributes>
</weapon>
<explosion>
    <name>blast</name><id>20</id><range>6</range><damage>6</damage><duration>1</duration>
</explosion>
)";

EditorRig::EditorRig(bool developer, const std::string& definitions)
    : mLevel(true), mDisplayScene(Ogre::Root::getSingleton().createSceneManager()), mWorld(mLevel, true)
{
    mDisplay = std::make_unique<brix::MessageDisplay>(mDisplayScene, DISPLAY_LINES, DISPLAY_LIFETIME,
                                                      ImageFont::NAME, 0.05f, Ogre::ColourValue::White);
    mWorld.loadEntities(definitions);
    mPlayers.initialize(&mWorld.events(), nullptr, &mLevel.level(), &mWorld.entities(), nullptr);
    Ogre::SceneManager& scene = mLevel.sceneManager();
    mEditor = std::make_unique<game::LevelEditor>(&scene, scene.getRootSceneNode(), developer);
    mEditor->initialize(&mLevel.level(), &mPlayers, &mWorld.entities(), nullptr, mDisplay.get(),
                        &mWorld.events());
}

EditorRig::~EditorRig()
{
    mEditor.reset();
    mPlayers.endMatch();
    mDisplay.reset();
    Ogre::Root::getSingleton().destroySceneManager(mDisplayScene);
}

void EditorRig::press(int key)
{
    mEditor->onKeyPress(key, 0);
    mEditor->onKeyRelease(key);
}

void EditorRig::hold(int key)
{
    mEditor->onKeyPress(key, 0);
}

void EditorRig::release(int key)
{
    mEditor->onKeyRelease(key);
}

void EditorRig::move(float x, float y, float wheel)
{
    mEditor->onMouseMove(Ogre::Vector4(x, y, 0.0f, wheel));
}

void EditorRig::moveTo(float x, float y)
{
    for (int i = 0; i < 100; ++i)
    {
        const Ogre::Vector2 cursor = mEditor->getCursorPosition();
        const float dx = (x - cursor.x) * game::LevelEditor::POINTER_SCALE;
        const float dy = (cursor.y - y) * game::LevelEditor::POINTER_SCALE;
        if (std::fabs(dx) < 1e-3f && std::fabs(dy) < 1e-3f)
            return;
        move(Ogre::Math::Clamp(dx, -POINTER_STEP, POINTER_STEP),
             Ogre::Math::Clamp(dy, -POINTER_STEP, POINTER_STEP));
    }
}

void EditorRig::click(int button)
{
    mEditor->onMouseButtonPress(button);
    mEditor->onMouseButtonRelease(button);
}

void EditorRig::drag(float x, float y)
{
    mEditor->onMouseButtonPress(0);
    moveTo(x, y);
    mEditor->onMouseButtonRelease(0);
}

void EditorRig::choose(const std::string& type)
{
    game::LevelElementSelector* selector = mEditor->getSelector();
    std::vector<game::LevelElement*> previews;
    selector->getLayer()->collectElements(previews);
    Ogre::Vector3 current = Ogre::Vector3::ZERO, wanted = Ogre::Vector3::ZERO;
    for (const game::LevelElement* preview : previews)
    {
        if (preview->getType() == mEditor->getCurrentType())
            current = preview->getPosition(0)->getPosition();
        if (preview->getType()->getName() == type)
            wanted = preview->getPosition(0)->getPosition();
    }
    press(TAB);
    const Ogre::Vector2 cursor = mEditor->getCursorPosition();
    moveTo(cursor.x + wanted.x - current.x, cursor.y + wanted.y - current.y);
    frame();
    click();
}

void EditorRig::place(float x, float y)
{
    moveTo(x, y);
    click();
}

void EditorRig::select(float x, float y)
{
    moveTo(x, y);
    click();
}

void EditorRig::frame(unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
    {
        mLevel.level().updateMapGenerators();
        mEditor->update();
    }
}

std::vector<std::string> EditorRig::messages()
{
    Ogre::SceneNode* root = mDisplayScene->getRootSceneNode();
    if (root->numChildren() == 0)
        return {};
    auto* node = static_cast<Ogre::SceneNode*>(root->getChild(0));
    return shownLines(*static_cast<Ogre::ManualObject*>(node->getAttachedObject(0)));
}

std::string EditorRig::lastMessage()
{
    std::vector<std::string> lines = messages();
    return lines.empty() ? std::string() : lines.back();
}

std::string EditorRig::unblanked(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

std::vector<std::string> EditorRig::elements() const
{
    std::vector<game::LevelElement*> elements;
    mEditor->getLayer()->collectElements(elements);
    std::vector<std::string> names;
    for (const game::LevelElement* element : elements)
    {
        const Ogre::Vector3& p = element->getPosition(0)->getPosition();
        char text[128];
        std::snprintf(text, sizeof(text), "%s@%.1f,%.1f,%.1f", element->getType()->getName().c_str(),
                      p.x + 0.0f, p.y + 0.0f, p.z + 0.0f);
        names.push_back(text);
    }
    return names;
}

game::LevelElement* EditorRig::element(unsigned index) const
{
    std::vector<game::LevelElement*> elements;
    mEditor->getLayer()->collectElements(elements);
    return index < elements.size() ? elements[index] : nullptr;
}

unsigned EditorRig::selectedCount() const
{
    std::vector<game::LevelElementPosition*> positions;
    mEditor->getLayer()->collectSelectedPositions(positions);
    return static_cast<unsigned>(positions.size());
}
} // namespace test
