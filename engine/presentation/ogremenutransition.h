#pragma once

namespace brix
{
class OgreMenuPage;

// Animates a menu's switch from one page to the next. The menu starts it from show, updates
// it every frame until it is complete, and cancels it when show or hide cuts it short. The
// menu does not own it.
class OgreMenuTransition
{
public:
    OgreMenuTransition();
    virtual ~OgreMenuTransition();

    // Remembers both pages and begins; either may be null.
    virtual void start(OgreMenuPage* from, OgreMenuPage* to);
    virtual void update(const float& seconds) = 0;
    // Puts both pages where the switch ends and completes at once.
    virtual void cancel() = 0;
    virtual bool isComplete() const { return mComplete; }

protected:
    OgreMenuPage* mFrom;
    OgreMenuPage* mTo;
    bool mComplete;
};
} // namespace brix
