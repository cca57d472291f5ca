#pragma once
#include "network/highscore.h"
#include "toolkit/condition.h"
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>

namespace brix
{
class HTTPMessage;

// The best scores of every level in two tables: a local one, saved in an XML file sealed with
// an MD5 checksum, and an online one, downloaded from the high-score web service. A score is
// added while playing (add) and filed when the player's name is known (finalize); one that
// makes the online table is uploaded, signed with an MD5 over its fields and the key.
// Downloads and uploads run on the manager's own thread; their results reach the listener
// from update(), which the game calls once per frame on its main thread.
//
// Service: GET <serverUrl><gameId>/<level>?limit=<maxPerLevel> answers "highscores" with
// "highscore" children (level, name, score, custom, timestamp); POST <serverUrl> takes
// "highscore" with gameid, version, level, name, score, custom and checksum.
class HighScoreManager : public Task
{
public:
    enum Status
    {
        STATUS_NONE = 0,
        STATUS_PENDING = 1,
        STATUS_AVAILABLE = 2,
        STATUS_FAILED = 3
    };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void onHighScoresUpdate(const std::string& level, bool online, Status status) = 0;
        virtual void onHighScoreUpload(const std::string& level, bool success) {}
    };

    struct LevelEntry
    {
        std::list<HighScore> scores;
        unsigned int count = 0;
        Status status = STATUS_NONE;
        // Seconds since 1970 when the table was loaded or downloaded; 0 = never.
        int64_t time = 0;
    };

    struct OnlineRequest
    {
        enum Type
        {
            DOWNLOAD = 0,
            UPLOAD = 1
        };
        Type type = DOWNLOAD;
        std::string level;
        HighScore score;
        Status result = STATUS_NONE;
    };

    static constexpr unsigned int MAX_QUEUED_REQUESTS = 4;
    // Largest reply taken from the service.
    static constexpr unsigned int MAX_RESPONSE_SIZE = 4096;

    // An empty localFile keeps no local table, an empty serverUrl no online one. The local
    // file is read at once.
    HighScoreManager(const std::string& localFile, const std::string& serverUrl, unsigned int gameId,
                     unsigned int maxPerLevel, const std::string& key, unsigned int version);
    // Stops the thread, waiting for a request in progress.
    ~HighScoreManager() override;

    // Remembers the score until finalize; upload says whether it may go online. Always true.
    bool add(const HighScore& score, bool upload);
    // Files the pending score under name (an empty name keeps the name given to add).
    void finalize(const std::string& name);
    // The 1-based rank the score would take; 0 when it would not enter the table.
    int testLocalHighScore(const std::string& level, int score);
    int testOnlineHighScore(const std::string& level, int score);
    // Replaces list with the level's local entries; always STATUS_AVAILABLE.
    Status getLocalHighScores(const std::string& level, std::list<HighScore>& list);
    // Replaces list with the level's online entries; STATUS_NONE (list untouched) for a level
    // never asked for.
    Status getOnlineHighScores(const std::string& level, std::list<HighScore>& list);
    // Seconds since the level's online table was fetched; the current time for one never fetched.
    unsigned int getOnlineHighScoresAge(const std::string& level);
    // Queues a download of the level's online table.
    void refresh(const std::string& level);
    // Removes the local tables of the level in all its revisions ("<level>@<revision>").
    void removeLocalHighScores(const std::string& level);
    // Reports finished online requests to the listener. Main thread only.
    void update();
    void setListener(Listener* listener) { mListener = listener; }
    void setUploadEnabled(bool enabled) { mUploadEnabled = enabled; }

    // The request for one upload or download.
    void createUploadRequest(std::string& url, HTTPMessage& request, const HighScore& score) const;
    void createDownloadRequest(std::string& url, HTTPMessage& request, const std::string& level) const;
    // The entries of a download reply in reply order.
    static bool parseDownloadResponse(const HTTPMessage& reply, std::list<HighScore>& list);
    // The upload signature: MD5 hex of gameid, version, level, name, score, custom and key.
    static std::string signScore(const std::string& gameId, const std::string& version,
                                 const HighScore& score, const std::string& key);

    void execute() override;

private:
    typedef std::map<std::string, LevelEntry> TTable;

    bool saveLocal();
    bool loadLocal();
    int testHighScore(const TTable& table, const std::string& level, int score, bool allowMissing) const;
    bool addOnlineRequest(const OnlineRequest& request);
    // Inserts after the entries with a score at least as high; drops what falls off the end.
    void insertScore(LevelEntry& entry, const HighScore& score) const;
    void sortAndCut(std::list<HighScore>& list) const;

    std::string mLocalFile;
    std::string mServerUrl;
    unsigned int mGameId;
    unsigned int mMaxPerLevel;
    std::string mKey;
    unsigned int mVersion;
    HighScore mPendingScore;
    bool mHasPending;
    bool mPendingUpload;
    TTable mLocalTable;
    TTable mOnlineTable;
    std::list<OnlineRequest> mQueue;
    std::list<OnlineRequest> mFinished;
    Thread mThread;
    Mutex mMutex;
    Condition mCondition;
    bool mRunning;
    bool mThreadStarted;
    Listener* mListener;
    bool mUploadEnabled;
};
} // namespace brix
