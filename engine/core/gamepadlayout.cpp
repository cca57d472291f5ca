#include "engine/core/gamepadlayout.h"

#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreStringConverter.h>

namespace brix
{
const std::string GamepadLayout::m_Platform = "linux";
const std::string GamepadLayout::m_AxisElementNames[AXIS_COUNT] = {
    "", "leftx", "lefty", "lefttrigger", "rightx", "righty", "righttrigger"};
const std::string GamepadLayout::m_ButtonElementNames[BUTTON_COUNT] = {
    "",           "lefttrigger", "righttrigger", "dpadup",      "dpadright",
    "dpaddown",   "dpadleft",    "actiontop",    "actionright", "actionbottom",
    "actionleft", "leftstick",   "rightstick",   "select",      "start"};

GamepadLayout::GamepadLayout() : mSelectedLayout(UNDEFINED_INDEX), mJoystickDeviceIndex(0)
{
    resetState();
}

GamepadLayout::~GamepadLayout() {}

bool GamepadLayout::loadLayouts(const std::string& path)
{
    setLayout("");
    mLayouts.clear();

    XMLElement root("gamepads");
    if (root.load(path) < 0)
    {
        Log::error("Error loading '%s' file: %s", path.c_str(), XMLElement::getLastError().c_str());
        return false;
    }
    for (const XMLElement* element = root.getChild("gamepad"); element;
         element = root.getNextChild(element, "gamepad"))
    {
        if (!isReadHere(element))
            continue;
        Layout layout;
        if (!readLayout(element, layout))
            return false;
        mLayouts.push_back(layout);
    }
    return true;
}

bool GamepadLayout::isReadHere(const XMLElement* element)
{
    std::string platform = element->getValue("platform", "");
    return platform.empty() || platform == m_Platform;
}

bool GamepadLayout::readLayout(const XMLElement* element, Layout& layout) const
{
    layout.name = element->getValue("name", "");
    if (layout.name.empty())
    {
        Log::error("Gamepad layout with no name in 'gamepads.xml'");
        return false;
    }
    layout.identifier = element->getValue("identifier", "");
    layout.flags = static_cast<unsigned int>(element->getValueAsInteger("flags", 0));

    const XMLElement* axes = element->findChild("axes");
    if (!axes)
    {
        Log::error("Gamepad layout '%s' with no 'axes' element in 'gamepads.xml'", layout.name.c_str());
        return false;
    }
    readIndices(axes, m_AxisElementNames, layout.axisIndices, AXIS_COUNT);

    const XMLElement* buttons = element->findChild("buttons");
    if (!buttons)
    {
        Log::error("Gamepad layout '%s' with no 'buttons' element in 'gamepads.xml'", layout.name.c_str());
        return false;
    }
    readIndices(buttons, m_ButtonElementNames, layout.buttonIndices, BUTTON_COUNT);
    return true;
}

void GamepadLayout::readIndices(const XMLElement* element, const std::string names[], unsigned int indices[],
                                unsigned int count)
{
    indices[0] = UNDEFINED_INDEX;
    for (unsigned int control = 1; control < count; ++control)
        indices[control] = static_cast<unsigned int>(
            element->getValueAsInteger(names[control], static_cast<int>(UNDEFINED_INDEX)));
}

void GamepadLayout::writeIndices(XMLElement* element, const std::string names[], const unsigned int indices[],
                                 unsigned int count)
{
    for (unsigned int control = 1; control < count; ++control)
    {
        if (indices[control] != UNDEFINED_INDEX)
            element->findChild(names[control], true)->setValue(static_cast<int>(indices[control]));
        else
            element->deleteChild(names[control]);
    }
}

bool GamepadLayout::saveLayouts(const std::string& path)
{
    XMLElement root("gamepads");
    if (File::fileExists(path) && root.load(path) < 0)
    {
        Log::error("Error loading '%s' file: %s", path.c_str(), XMLElement::getLastError().c_str());
        return false;
    }

    XMLElement* element = root.getChild("gamepad");
    while (element)
    {
        if (element->getValue("platform", "") == m_Platform && !layoutExists(element->getValue("name", "")))
        {
            XMLElement* next = root.deleteChild(element);
            element = next && next->getName() != "gamepad" ? root.getNextChild(next, "gamepad") : next;
        }
        else
            element = root.getNextChild(element, "gamepad");
    }

    for (const Layout& layout : mLayouts)
    {
        // Only an entry this platform reads is rewritten: another platform's layout of the same
        // name describes other hardware numbering and stays as it is.
        element = root.getChild("gamepad");
        while (element && (element->getValue("name", "") != layout.name || !isReadHere(element)))
            element = root.getNextChild(element, "gamepad");
        if (!element)
        {
            element = root.createChild("gamepad");
            element->createChild("name")->setValue(layout.name);
            element->createChild("platform")->setValue(m_Platform);
        }
        writeLayout(layout, element);
    }

    if (root.save(path, true) < 0)
    {
        Log::error("Error saving '%s' file: %s", path.c_str(), XMLElement::getLastError().c_str());
        return false;
    }
    return true;
}

void GamepadLayout::writeLayout(const Layout& layout, XMLElement* element) const
{
    element->findChild("identifier", true)->setValue(layout.identifier);
    if (layout.flags != 0)
        element->findChild("flags", true)->setValue(static_cast<int>(layout.flags));
    else
        element->deleteChild("flags");

    writeIndices(element->findChild("axes", true), m_AxisElementNames, layout.axisIndices, AXIS_COUNT);
    writeIndices(element->findChild("buttons", true), m_ButtonElementNames, layout.buttonIndices,
                 BUTTON_COUNT);
}

bool GamepadLayout::createLayout(const std::string& name, const std::string& identifier)
{
    if (layoutExists(name))
        return false;
    Layout layout;
    layout.name = name;
    layout.identifier = identifier;
    layout.flags = 0;
    for (unsigned int& index : layout.axisIndices)
        index = UNDEFINED_INDEX;
    for (unsigned int& index : layout.buttonIndices)
        index = UNDEFINED_INDEX;
    mLayouts.push_back(layout);
    return true;
}

bool GamepadLayout::deleteLayout(const std::string& name)
{
    std::string selected = getLayout();
    if (!selected.empty() && selected == name)
        mSelectedLayout = UNDEFINED_INDEX;
    bool removed = false;
    for (size_t i = mLayouts.size(); i-- > 0;)
    {
        if (mLayouts[i].name != name)
            continue;
        mLayouts.erase(mLayouts.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
    }
    // The selection is an index: keep it on the same layout.
    if (!selected.empty() && mSelectedLayout != UNDEFINED_INDEX)
    {
        mSelectedLayout = UNDEFINED_INDEX;
        for (size_t i = 0; i < mLayouts.size() && mSelectedLayout == UNDEFINED_INDEX; ++i)
            if (mLayouts[i].name == selected)
                mSelectedLayout = static_cast<unsigned int>(i);
    }
    return removed;
}

bool GamepadLayout::renameLayout(const std::string& name, const std::string& newName)
{
    Layout* layout = findLayout(name);
    if (!layout)
        return false;
    layout->name = newName;
    return true;
}

bool GamepadLayout::layoutExists(const std::string& name) const
{
    return findLayout(name) != nullptr;
}

void GamepadLayout::getLayoutNames(std::vector<std::string>& names) const
{
    for (const Layout& layout : mLayouts)
        names.push_back(layout.name);
}

void GamepadLayout::setIdentifier(const std::string& name, const std::string& identifier)
{
    if (Layout* layout = findLayout(name))
        layout->identifier = identifier;
}

std::string GamepadLayout::getIdentifier(const std::string& name) const
{
    const Layout* layout = findLayout(name);
    return layout ? layout->identifier : std::string();
}

void GamepadLayout::setAxisIndex(const std::string& name, Axis axis, unsigned int index)
{
    Layout* layout = findLayout(name);
    if (layout && axis > AXIS_NONE && axis < AXIS_COUNT)
        layout->axisIndices[axis] = index;
}

void GamepadLayout::setButtonIndex(const std::string& name, Button button, unsigned int index)
{
    Layout* layout = findLayout(name);
    if (layout && button > BUTTON_NONE && button < BUTTON_COUNT)
        layout->buttonIndices[button] = index;
}

unsigned int GamepadLayout::getAxisIndex(const std::string& name, Axis axis) const
{
    const Layout* layout = findLayout(name);
    return layout && axis >= AXIS_NONE && axis < AXIS_COUNT ? layout->axisIndices[axis] : UNDEFINED_INDEX;
}

unsigned int GamepadLayout::getButtonIndex(const std::string& name, Button button) const
{
    const Layout* layout = findLayout(name);
    return layout && button >= BUTTON_NONE && button < BUTTON_COUNT ? layout->buttonIndices[button]
                                                                    : UNDEFINED_INDEX;
}

bool GamepadLayout::setLayout(const std::string& name)
{
    if (name.empty())
    {
        mSelectedLayout = UNDEFINED_INDEX;
        resetState();
        return true;
    }
    for (size_t i = 0; i < mLayouts.size(); ++i)
    {
        if (mLayouts[i].name == name)
        {
            mSelectedLayout = static_cast<unsigned int>(i);
            resetState();
            return true;
        }
    }
    return false;
}

std::string GamepadLayout::getLayout() const
{
    const Layout* layout = selectedLayout();
    return layout ? layout->name : std::string();
}

bool GamepadLayout::detectLayout(const std::string& deviceIdentifier)
{
    if (deviceIdentifier.empty())
        return false;
    for (const Layout& layout : mLayouts)
    {
        for (const std::string& pattern : Ogre::StringUtil::tokenise(layout.identifier, "|", "\""))
        {
            if (!pattern.empty() && deviceIdentifier.find(pattern) != std::string::npos)
                return setLayout(layout.name);
        }
    }
    return false;
}

void GamepadLayout::setJoystickDeviceIndex(unsigned int index)
{
    mJoystickDeviceIndex = index;
    resetState();
}

void GamepadLayout::resetState()
{
    for (float& position : mAxisPositions)
        position = 0.0f;
    for (bool& state : mButtonStates)
        state = false;
}

float GamepadLayout::getAxisPosition(Axis axis) const
{
    return axis >= AXIS_NONE && axis < AXIS_COUNT ? mAxisPositions[axis] : 0.0f;
}

bool GamepadLayout::getButtonState(Button button) const
{
    return button >= BUTTON_NONE && button < BUTTON_COUNT && mButtonStates[button];
}

GamepadLayout::Axis GamepadLayout::translateAxis(unsigned int axis) const
{
    if (const Layout* layout = selectedLayout())
        for (unsigned int i = 1; i < AXIS_COUNT; ++i)
            if (layout->axisIndices[i] == axis)
                return static_cast<Axis>(i);
    return AXIS_NONE;
}

GamepadLayout::Button GamepadLayout::translateButton(unsigned int button) const
{
    if (const Layout* layout = selectedLayout())
        for (unsigned int i = 1; i < BUTTON_COUNT; ++i)
            if (layout->buttonIndices[i] == button)
                return static_cast<Button>(i);
    return BUTTON_NONE;
}

void GamepadLayout::onListenerEnable(bool enabled)
{
    if (!enabled)
        resetState();
}

void GamepadLayout::onJoystickMove(unsigned int joystick, unsigned int axis, float position)
{
    const Layout* layout = selectedLayout();
    if (!layout || joystick != mJoystickDeviceIndex)
        return;
    if (layout->flags & FLAG_FULL_RANGE_TRIGGERS)
    {
        if (axis == layout->axisIndices[AXIS_LEFT_TRIGGER])
        {
            mAxisPositions[AXIS_LEFT_TRIGGER] = (position + 1.0f) * 0.5f;
            return;
        }
        if (axis == layout->axisIndices[AXIS_RIGHT_TRIGGER])
        {
            mAxisPositions[AXIS_RIGHT_TRIGGER] = (position + 1.0f) * 0.5f;
            return;
        }
    }
    else if ((layout->flags & FLAG_SHARED_TRIGGER_AXIS) && axis == layout->axisIndices[AXIS_LEFT_TRIGGER])
    {
        mAxisPositions[AXIS_LEFT_TRIGGER] = position > 0.0f ? position : 0.0f;
        mAxisPositions[AXIS_RIGHT_TRIGGER] = position < 0.0f ? -position : 0.0f;
        return;
    }
    Axis named = translateAxis(axis);
    if (named != AXIS_NONE)
        mAxisPositions[named] = position;
}

void GamepadLayout::onJoystickButtonPress(unsigned int joystick, unsigned int button)
{
    setButton(joystick, button, true);
}

void GamepadLayout::onJoystickButtonRelease(unsigned int joystick, unsigned int button)
{
    setButton(joystick, button, false);
}

void GamepadLayout::setButton(unsigned int joystick, unsigned int button, bool pressed)
{
    if (!selectedLayout() || joystick != mJoystickDeviceIndex)
        return;
    Button named = translateButton(button);
    if (named != BUTTON_NONE)
        mButtonStates[named] = pressed;
}

GamepadLayout::Layout* GamepadLayout::findLayout(const std::string& name)
{
    for (Layout& layout : mLayouts)
        if (layout.name == name)
            return &layout;
    return nullptr;
}

const GamepadLayout::Layout* GamepadLayout::findLayout(const std::string& name) const
{
    return const_cast<GamepadLayout*>(this)->findLayout(name);
}

const GamepadLayout::Layout* GamepadLayout::selectedLayout() const
{
    return mSelectedLayout < mLayouts.size() ? &mLayouts[mSelectedLayout] : nullptr;
}
} // namespace brix
