#include "game/application/matchbrowser.h"

#include "engine/presentation/messagedisplay.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/player.h"
#include "network/networkaddress.h"
#include "toolkit/log.h"

namespace game
{
MatchBrowser::MatchBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved)
    : ListBrowser(browserId, itemsPerPage, reserved)
{
}

MatchBrowser::~MatchBrowser()
{
    mThread.wait();
}

void MatchBrowser::initialize(const std::string& server, unsigned short gameId, brix::MessageDisplay* display)
{
    mThread.wait();
    mClient.reset(new brix::MatchMakerClient(brix::NetworkAddress(server), gameId));
    mDisplay = display;
}

void MatchBrowser::setPage(unsigned int page)
{
    ListBrowser::setPage(page);
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

const brix::MatchMakerClient::Match& MatchBrowser::getEntry(unsigned int row) const
{
    return mEntries.at(getEntryIndex(row));
}

std::string MatchBrowser::getItemTitle(unsigned int row)
{
    const brix::MatchMakerClient::Match& match = getEntry(row);
    return brix::PeerText::forColumn(match.name, Player::MAX_NAME_SIZE) + "|" +
           brix::PeerText::forColumn(match.info, EventProxy::MAX_LEVEL_NAME_SIZE) + "|" +
           std::to_string((match.flags >> PLAYERS_SHIFT) & 15u) + "/" +
           std::to_string((match.flags >> SLOTS_SHIFT) & 15u);
}

std::string MatchBrowser::getItemDescription(unsigned int row)
{
    const brix::MatchMakerClient::Match& match = getEntry(row);
    std::string description = "Host address " + match.address.toString();
    if (match.flags & PASSWORD_FLAG)
        description += ", password required";
    return description;
}

void MatchBrowser::refresh()
{
    if (!mClient)
        return;
    mThread.wait();
    mMutex.lock();
    mBusy = true;
    mPending = true;
    mMutex.unlock();
    if (!mThread.start(this))
    {
        // No thread: the query counts as failed at the next update.
        mMutex.lock();
        mBusy = false;
        mSuccess = false;
        mMutex.unlock();
    }
    mListState = STATE_REFRESHING;
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

void MatchBrowser::execute()
{
    // Only this thread touches the result list while busy is set.
    mResult.clear();
    const bool success = mClient->getMatches("", 0, 0, PROTOCOL_VERSION, MAX_MATCHES, mResult);
    // Any host announces what it likes: the name is typed into a field as long as a player's
    // name, and the info is the name of the level the host plays.
    for (brix::MatchMakerClient::Match& match : mResult)
    {
        match.name = brix::PeerText::clean(match.name, Player::MAX_NAME_SIZE);
        match.info = brix::PeerText::clean(match.info, EventProxy::MAX_LEVEL_NAME_SIZE);
    }
    mMutex.lock();
    mBusy = false;
    mSuccess = success;
    mMutex.unlock();
}

void MatchBrowser::update()
{
    bool report = false;
    mMutex.lock();
    if (mPending && !mBusy)
    {
        if (mSuccess)
        {
            mEntries.clear();
            mEntries.swap(mResult);
            brix::Log::debug("Received %d matches from matchmaker server", static_cast<int>(mEntries.size()));
            mListState = STATE_READY;
        }
        else
        {
            if (mDisplay)
                mDisplay->writeMessage("Online match listing failed", true);
            mListState = STATE_FAILED;
        }
        mPending = false;
        report = true;
    }
    mMutex.unlock();
    if (report)
        setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}
} // namespace game
