#include "game/application/listbrowser.h"

#include <algorithm>

namespace game
{
ListBrowser::ListBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved)
    : mBrowserId(browserId), mItemsPerPage(std::max(itemsPerPage, 1u)), mReserved(reserved)
{
}

unsigned int ListBrowser::clampPage(unsigned int page) const
{
    const unsigned int pages = getPageCount();
    return pages == 0 ? 0 : std::min(page, pages - 1);
}

void ListBrowser::setPage(unsigned int page)
{
    mPage = clampPage(page);
}

unsigned int ListBrowser::getPageCount() const
{
    return (mItemCount + mItemsPerPage - 1) / mItemsPerPage;
}

unsigned int ListBrowser::getItemCountOnPage() const
{
    const unsigned int first = mPage * mItemsPerPage;
    return mItemCount > first ? std::min(mItemsPerPage, mItemCount - first) : 0;
}

void ListBrowser::nextPage()
{
    if (mPage + 1 < getPageCount())
        setPage(mPage + 1);
}

void ListBrowser::previousPage()
{
    if (mPage > 0)
        setPage(mPage - 1);
}

void ListBrowser::setItemCount(unsigned int count, int state)
{
    mItemCount = count;
    mPage = clampPage(mPage);
    if (mPageListener)
        mPageListener->onPageUpdate(mBrowserId, state);
}
} // namespace game
