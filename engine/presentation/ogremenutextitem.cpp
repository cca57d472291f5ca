#include "engine/presentation/ogremenutextitem.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenulistener.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutextvalidator.h"
#include "toolkit/utf8.h"

#include <OgreStringConverter.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>

namespace brix
{
namespace
{
const int BACKSPACE = 8;
const int FIRST_PRINTABLE = 32;
const char32_t LAST_CODE_POINT = 0x10FFFF;

bool isScalarValue(int character)
{
    return character >= 0 && static_cast<char32_t>(character) <= LAST_CODE_POINT &&
           (character < 0xD800 || character > 0xDFFF);
}
} // namespace

OgreMenuTextItem::OgreMenuTextItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                   const std::string& description, unsigned int maxLength,
                                   const std::string& value)
    : OgreMenuItem(page, name), mTitle(title), mDescription(description), mMaxLength(maxLength),
      mValidator(nullptr)
{
    mValue = UTF8::decode(value);
    if (mValue.size() > mMaxLength)
        mValue.resize(mMaxLength);
}

void OgreMenuTextItem::setValue(const std::string& value)
{
    mValue = UTF8::decode(value);
    if (mValue.size() > mMaxLength)
        mValue.resize(mMaxLength);
    mPage->setModified();
}

void OgreMenuTextItem::setValue(float value)
{
    setValue(Ogre::StringConverter::toString(value));
}

void OgreMenuTextItem::setValue(int value)
{
    setValue(Ogre::StringConverter::toString(value));
}

std::string OgreMenuTextItem::getRawValue() const
{
    std::string text;
    text.reserve(mValue.size());
    for (char32_t c : mValue)
        UTF8::append(c, text);
    return text;
}

std::string OgreMenuTextItem::getValue() const
{
    const std::string text = getRawValue();
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int OgreMenuTextItem::getValueAsInteger() const
{
    return Ogre::StringConverter::parseInt(getRawValue(), 0);
}

float OgreMenuTextItem::getValueAsFloat() const
{
    return Ogre::StringConverter::parseReal(getRawValue(), 0.0f);
}

void OgreMenuTextItem::handleCommand(Command command)
{
    GLFWwindow* window = mPage->getMenu()->getWindow();
    switch (command)
    {
    case COMMAND_ACTIVATE:
        mPage->notifyListener(this, OgreMenuListener::EVENT_ITEM_ACTIVATED);
        break;
    case COMMAND_COPY:
        if (window)
            glfwSetClipboardString(window, getValue().c_str());
        break;
    case COMMAND_PASTE:
        if (window)
        {
            // The value is one line: line breaks, tabs and other control codes in the clipboard
            // are dropped, as they are when typed.
            const char* text = glfwGetClipboardString(window);
            if (text)
            {
                std::string line(text);
                line.erase(std::remove_if(line.begin(), line.end(),
                                          [](char c)
                                          { return static_cast<unsigned char>(c) < FIRST_PRINTABLE; }),
                           line.end());
                setValue(line);
            }
        }
        break;
    default:
        break;
    }
}

void OgreMenuTextItem::handleCharacter(int character)
{
    if (mState != STATE_NORMAL)
        return;
    if (character == BACKSPACE)
    {
        if (mValue.empty())
            return;
        mValue.pop_back();
    }
    else
    {
        if (character < FIRST_PRINTABLE || !isScalarValue(character) || mValue.size() >= mMaxLength)
            return;
        if (mValidator && !mValidator->validateCharacter(this, character))
            return;
        // What the validator put in its place must be text too.
        if (character < FIRST_PRINTABLE || !isScalarValue(character))
            return;
        mValue.push_back(static_cast<char32_t>(character));
    }
    notifyValueChanged();
}

Ogre::Vector2 OgreMenuTextItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                        const void* customMaterialId, bool selected)
{
    if (customMaterialId)
        return mSize;
    std::string line = mTitle.empty() ? std::string() : mTitle + ": ";
    if (mState == STATE_NORMAL || mState == STATE_DISABLED)
        line += "'" + getRawValue() + "'";
    else
        line += getRawValue();
    mSize = rebuildBasicTextItem(builder, position, "", line, mDescription, false, selected);
    return mSize;
}
} // namespace brix
