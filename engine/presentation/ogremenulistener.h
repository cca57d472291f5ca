#pragma once

namespace brix
{
class OgreMenuItem;

// What the game hears from a menu page. Registered with the page; it must outlive it or be
// taken off first. Moving up and down reports nothing.
class OgreMenuListener
{
public:
    enum EventType
    {
        // A page was shown; the item is its current item, or null when it has none.
        EVENT_PAGE_SHOWN = 0,
        // An action or text item was activated.
        EVENT_ITEM_ACTIVATED = 1,
        // An item's value changed.
        EVENT_VALUE_CHANGED = 2
    };

    virtual void onMenuEvent(OgreMenuItem* item, EventType type) = 0;
};
} // namespace brix
