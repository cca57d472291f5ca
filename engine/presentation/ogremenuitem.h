#pragma once
#include <OgreColourValue.h>
#include <OgreVector.h>

#include <string>

namespace brix
{
class OgreMenuPage;
class OgreObjectBuilder;

// One line of a menu page. It keeps its own state and value, handles the commands and
// characters its page forwards, reports changes to the page's listener and draws itself
// when the page is rebuilt. The page owns its items.
class OgreMenuItem
{
public:
    // The input vocabulary of menus, pages and items.
    enum Command
    {
        COMMAND_ACTIVATE = 0,
        COMMAND_UP = 1,
        COMMAND_DOWN = 2,
        COMMAND_LEFT = 3,
        COMMAND_RIGHT = 4,
        COMMAND_COPY = 5,
        COMMAND_PASTE = 6
    };

    enum State
    {
        // Selectable; the only state in which characters and left/right change a value.
        STATE_NORMAL = 0,
        // Selectable; text items show their value without quotes.
        STATE_READ_ONLY = 1,
        // Drawn, not selectable: the title's state.
        STATE_INACTIVE = 2,
        // Drawn faded, not selectable.
        STATE_DISABLED = 3,
        // Not drawn and takes no space; any higher value means the same.
        STATE_HIDDEN = 4
    };

    OgreMenuItem(OgreMenuPage* page, const std::string& name);
    virtual ~OgreMenuItem();

    virtual State getState() const { return mState; }
    // Moves the page's selection off this item when it stops being selectable, and has the page
    // redrawn.
    virtual void setState(State state);
    virtual void setIndex(unsigned int index) {}
    virtual void setValue(float value) {}
    virtual void setValue(int value) {}
    virtual void setValue(const std::string& value) {}
    virtual unsigned int getIndex() const { return 0; }
    virtual std::string getValue() const { return std::string(); }
    virtual int getValueAsInteger() const { return 0; }
    virtual float getValueAsFloat() const { return 0.0f; }
    virtual void handleCommand(Command command) {}
    virtual void handleCharacter(int character) {}
    // Images are drawn in sections of their own material, one per distinct id; the page
    // collects them and calls rebuild once per id.
    virtual unsigned int getCustomMaterialCount() const { return 0; }
    virtual const void* getCustomMaterialId(unsigned int index) const { return nullptr; }
    virtual std::string getCustomMaterial(unsigned int index) const { return std::string(); }
    // The size of the last rebuild of the text pass.
    virtual Ogre::Vector2 getSize() const { return mSize; }
    // Draws the item with its top at position, centred on position.x. A null id is the text
    // pass; any other id draws only this item's images of that id. Returns the item's size.
    virtual Ogre::Vector2 rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                  const void* customMaterialId, bool selected) = 0;

    std::string getName() const { return mName; }
    OgreMenuPage* getPage() const { return mPage; }

protected:
    // The one-line layout of action, text, value and list items: the text centred under
    // position, with the description and the markers ("<" ">" or "[" "]") only while selected.
    Ogre::Vector2 rebuildBasicTextItem(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                       const std::string& format, const std::string& text,
                                       const std::string& description, bool angleMarkers, bool selected);
    // The page's text colour, faded in the disabled state.
    Ogre::ColourValue getTextColour(bool selected) const;
    void notifyValueChanged();

    OgreMenuPage* mPage;
    std::string mName;
    State mState;
    Ogre::Vector2 mSize;
};
} // namespace brix
