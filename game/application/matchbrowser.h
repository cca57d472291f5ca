#pragma once
#include "game/application/listbrowser.h"
#include "game/level/version.h"
#include "network/matchmakerclient.h"
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <memory>
#include <string>
#include <vector>

namespace brix
{
class MessageDisplay;
}

namespace game
{
// The matches announced at the match maker, their names and info cleaned (PeerText) as they
// come and each shown in its own column of the row. Each refresh runs one query on the
// browser's own thread; update takes its result on the main thread. busy, pending, success and
// the result list are shared with the thread under the mutex; everything else is the main
// thread's.
class MatchBrowser : public ListBrowser, public brix::Task
{
public:
    // Matches asked for per query, and the protocol version they must run.
    static const unsigned short MAX_MATCHES = 100;
    static const unsigned int PROTOCOL_VERSION = game::PROTOCOL_VERSION;
    // Bits of a match's flags word, as the hosting server announces them.
    static const unsigned int SLOTS_SHIFT = 28;
    static const unsigned int PLAYERS_SHIFT = 24;
    static const unsigned int PASSWORD_FLAG = 1u << 23;

    MatchBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved);
    // Waits for a running query.
    ~MatchBrowser() override;

    // server is "host:port" of the match maker. Messages for the player go to the display
    // (not owned, may be null).
    void initialize(const std::string& server, unsigned short gameId, brix::MessageDisplay* display);

    void setPage(unsigned int page) override;
    std::string getItemTitle(unsigned int row) override;
    std::string getItemDescription(unsigned int row) override;
    // Waits for a running query, then starts a new one.
    void refresh() override;
    void update() override;
    // The match of a row of the current page.
    const brix::MatchMakerClient::Match& getEntry(unsigned int row) const;
    int getListState() const { return mListState; }

    void execute() override;

private:
    std::unique_ptr<brix::MatchMakerClient> mClient;
    brix::MessageDisplay* mDisplay = nullptr;
    std::vector<brix::MatchMakerClient::Match> mEntries;
    int mListState = STATE_READY;
    brix::Thread mThread;
    brix::Mutex mMutex;
    bool mBusy = false;
    bool mPending = false;
    bool mSuccess = false;
    std::vector<brix::MatchMakerClient::Match> mResult;
};
} // namespace game
