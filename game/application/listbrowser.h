#pragma once
#include <string>

namespace game
{
// A list from the network shown on a menu page in pages of a fixed number of rows. The
// browser never touches the menu: it tells its page listener how many entries there are and
// in what state the list is, and the listener fills the rows from getItemTitle and
// getItemDescription. Main thread only; the listener is called from refresh, setPage, the
// filter and update.
class ListBrowser
{
public:
    // The list's state as reported to the listener.
    enum State
    {
        STATE_REFRESHING = 0,
        STATE_READY = 1,
        STATE_FAILED = 2
    };

    class PageListener
    {
    public:
        virtual void onPageUpdate(unsigned int browserId, int state) = 0;

    protected:
        ~PageListener() = default;
    };

    // itemsPerPage of 0 is taken as 1; reserved is kept for the caller and never read.
    ListBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved);
    virtual ~ListBrowser() = default;
    ListBrowser(const ListBrowser&) = delete;
    ListBrowser& operator=(const ListBrowser&) = delete;

    // Not owned; may be null.
    void setPageListener(PageListener* listener) { mPageListener = listener; }
    // Goes to the page, or to the last one when it lies beyond (page 0 for an empty list).
    virtual void setPage(unsigned int page);
    unsigned int getPage() const { return mPage; }
    unsigned int getPageCount() const;
    unsigned int getItemCount() const { return mItemCount; }
    unsigned int getItemsPerPage() const { return mItemsPerPage; }
    unsigned int getItemCountOnPage() const;
    void nextPage();
    void previousPage();

    // Row is a row of the current page, below getItemCountOnPage.
    virtual std::string getItemTitle(unsigned int row) = 0;
    virtual std::string getItemDescription(unsigned int row) = 0;
    // Starts fetching the list anew.
    virtual void refresh() = 0;
    // Polls the work in progress; once per game update.
    virtual void update() = 0;

protected:
    // Takes the new entry count, keeps the page within it and tells the listener.
    void setItemCount(unsigned int count, int state);
    // The index in the whole list of a row of the current page.
    unsigned int getEntryIndex(unsigned int row) const { return mPage * mItemsPerPage + row; }

private:
    unsigned int clampPage(unsigned int page) const;

    unsigned int mBrowserId;
    unsigned int mItemsPerPage;
    unsigned int mReserved;
    unsigned int mPage = 0;
    unsigned int mItemCount = 0;
    PageListener* mPageListener = nullptr;
};
} // namespace game
