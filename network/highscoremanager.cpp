#include "network/highscoremanager.h"

#include "network/httpclient.h"
#include "network/httpmessage.h"
#include "network/httpquerystring.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/md5.h"
#include "toolkit/peertext.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

#include <ctime>

namespace brix
{
namespace
{
// One "highscore" element, as both the local file and the service's replies hold it.
HighScore readHighScore(const XMLElement& element)
{
    HighScore score;
    score.level = element.getValue("level", "");
    score.name = element.getValue("name", "");
    score.custom = element.getValue("custom", "");
    score.score = element.getValueAsInteger("score", 0);
    score.timestamp = StringUtil::stringToUInt(element.getValue("timestamp", ""));
    return score;
}

int64_t now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// Percent-encodes a level name for a request path; "@" of a revision stays readable.
std::string encodePathSegment(const std::string& text)
{
    std::string out;
    std::size_t start = 0;
    for (;;)
    {
        std::size_t at = text.find('@', start);
        out += HTTPQueryString::urlEncode(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return out;
        out += '@';
        start = at + 1;
    }
}
} // namespace

HighScoreManager::HighScoreManager(const std::string& localFile, const std::string& serverUrl,
                                   unsigned int gameId, unsigned int maxPerLevel, const std::string& key,
                                   unsigned int version)
    : mLocalFile(localFile), mServerUrl(serverUrl), mGameId(gameId), mMaxPerLevel(maxPerLevel), mKey(key),
      mVersion(version), mHasPending(false), mPendingUpload(false), mRunning(true), mThreadStarted(false),
      mListener(nullptr), mUploadEnabled(true)
{
    if (!mServerUrl.empty() && mServerUrl.back() != '/')
        mServerUrl += '/';
    if (!mLocalFile.empty())
        loadLocal();
}

HighScoreManager::~HighScoreManager()
{
    mMutex.lock();
    mRunning = false;
    mMutex.unlock();
    mCondition.signal();
    mThread.wait();
}

bool HighScoreManager::add(const HighScore& score, bool upload)
{
    mPendingScore = score;
    mPendingUpload = upload;
    mHasPending = true;
    return true;
}

void HighScoreManager::finalize(const std::string& name)
{
    if (!mHasPending)
    {
        Log::debug("No pending high-score to finalize");
        return;
    }
    if (!name.empty())
        mPendingScore.name = name;
    else if (mPendingScore.name.empty())
        return;
    const std::string level = mPendingScore.level;

    if (!mLocalFile.empty())
    {
        LevelEntry& entry = mLocalTable[level];
        if (entry.count < mMaxPerLevel ||
            (!entry.scores.empty() && mPendingScore.score > entry.scores.back().score))
        {
            insertScore(entry, mPendingScore);
            entry.status = STATUS_AVAILABLE;
            entry.time = now();
            saveLocal();
            if (mListener)
                mListener->onHighScoresUpdate(level, false, STATUS_AVAILABLE);
        }
    }
    if (!mServerUrl.empty() && mUploadEnabled && mPendingUpload)
    {
        mMutex.lock();
        auto it = mOnlineTable.find(level);
        if (it != mOnlineTable.end() && it->second.time != 0 &&
            (it->second.count < mMaxPerLevel ||
             (!it->second.scores.empty() && mPendingScore.score > it->second.scores.back().score)))
        {
            OnlineRequest request;
            request.type = OnlineRequest::UPLOAD;
            request.level = level;
            request.score = mPendingScore;
            addOnlineRequest(request);
        }
        mMutex.unlock();
    }
    mPendingScore = HighScore();
    mHasPending = false;
    mPendingUpload = false;
}

void HighScoreManager::insertScore(LevelEntry& entry, const HighScore& score) const
{
    auto it = entry.scores.begin();
    while (it != entry.scores.end() && it->score >= score.score)
        ++it;
    entry.scores.insert(it, score);
    while (entry.scores.size() > mMaxPerLevel)
        entry.scores.pop_back();
    entry.count = static_cast<unsigned int>(entry.scores.size());
}

void HighScoreManager::sortAndCut(std::list<HighScore>& list) const
{
    list.sort([](const HighScore& a, const HighScore& b) { return a.score > b.score; });
    while (list.size() > mMaxPerLevel)
        list.pop_back();
}

int HighScoreManager::testHighScore(const TTable& table, const std::string& level, int score,
                                    bool allowMissing) const
{
    if (score == 0)
        return 0;
    auto it = table.find(level);
    if (it == table.end() || it->second.time == 0)
    {
        if (allowMissing)
            return 1;
        Log::error("High-scores not available for level '%s', new score ignored", level.c_str());
        return 0;
    }
    const LevelEntry& entry = it->second;
    if (entry.count >= mMaxPerLevel && (entry.scores.empty() || score <= entry.scores.back().score))
        return 0;
    int rank = 1;
    for (const HighScore& existing : entry.scores)
    {
        if (existing.score < score)
            break;
        ++rank;
    }
    return rank;
}

int HighScoreManager::testLocalHighScore(const std::string& level, int score)
{
    return mLocalFile.empty() ? 0 : testHighScore(mLocalTable, level, score, true);
}

int HighScoreManager::testOnlineHighScore(const std::string& level, int score)
{
    if (mServerUrl.empty() || !mUploadEnabled)
        return 0;
    mMutex.lock();
    int rank = testHighScore(mOnlineTable, level, score, false);
    mMutex.unlock();
    return rank;
}

HighScoreManager::Status HighScoreManager::getLocalHighScores(const std::string& level,
                                                              std::list<HighScore>& list)
{
    auto it = mLocalTable.find(level);
    if (it != mLocalTable.end())
        list = it->second.scores;
    return STATUS_AVAILABLE;
}

HighScoreManager::Status HighScoreManager::getOnlineHighScores(const std::string& level,
                                                               std::list<HighScore>& list)
{
    mMutex.lock();
    Status status = STATUS_NONE;
    auto it = mOnlineTable.find(level);
    if (it != mOnlineTable.end())
    {
        list = it->second.scores;
        status = it->second.status;
    }
    mMutex.unlock();
    return status;
}

unsigned int HighScoreManager::getOnlineHighScoresAge(const std::string& level)
{
    mMutex.lock();
    int64_t time = 0;
    auto it = mOnlineTable.find(level);
    if (it != mOnlineTable.end())
        time = it->second.time;
    mMutex.unlock();
    return static_cast<unsigned int>(now() - time);
}

void HighScoreManager::refresh(const std::string& level)
{
    if (mServerUrl.empty())
        return;
    OnlineRequest request;
    request.type = OnlineRequest::DOWNLOAD;
    request.level = level;
    mMutex.lock();
    if (addOnlineRequest(request))
        mOnlineTable[level].status = STATUS_PENDING;
    mMutex.unlock();
    if (mListener)
        mListener->onHighScoresUpdate(level, true, STATUS_PENDING);
}

void HighScoreManager::removeLocalHighScores(const std::string& level)
{
    int removed = 0;
    for (auto it = mLocalTable.begin(); it != mLocalTable.end();)
    {
        if (it->first.substr(0, it->first.find('@')) == level)
        {
            removed += static_cast<int>(it->second.count);
            it = mLocalTable.erase(it);
        }
        else
            ++it;
    }
    Log::info("Removed %d high-scores for level '%s' (all revisions)", removed, level.c_str());
    saveLocal();
}

void HighScoreManager::update()
{
    std::list<OnlineRequest> finished;
    mMutex.lock();
    finished.swap(mFinished);
    mMutex.unlock();
    if (!mListener)
        return;
    for (const OnlineRequest& request : finished)
    {
        if (request.type == OnlineRequest::UPLOAD)
            mListener->onHighScoreUpload(request.level, request.result == STATUS_AVAILABLE);
        else
            mListener->onHighScoresUpdate(request.level, true, request.result);
    }
}

bool HighScoreManager::addOnlineRequest(const OnlineRequest& request)
{
    Log::debug("Queuing an online high-score request (%d, '%s')", request.type, request.level.c_str());
    if (mQueue.size() >= MAX_QUEUED_REQUESTS)
    {
        Log::error("Too many online high-score requests in queue, request rejected");
        return false;
    }
    mQueue.push_back(request);
    if (!mThreadStarted)
    {
        mThreadStarted = mThread.start(this);
        if (!mThreadStarted)
        {
            mQueue.pop_back();
            return false;
        }
    }
    mCondition.signal();
    return true;
}

std::string HighScoreManager::signScore(const std::string& gameId, const std::string& version,
                                        const HighScore& score, const std::string& key)
{
    MD5 md5;
    md5.add(gameId);
    md5.add(version);
    md5.add(score.level);
    md5.add(score.name);
    md5.add(StringUtil::toString(score.score));
    md5.add(score.custom);
    md5.add(key);
    md5.finalize();
    return md5.getChecksumHex();
}

void HighScoreManager::createUploadRequest(std::string& url, HTTPMessage& request,
                                           const HighScore& score) const
{
    const std::string gameId = StringUtil::toString(mGameId);
    const std::string version = StringUtil::versionNumberToString(mVersion);
    XMLElement root("highscore");
    root.createChild("gameid")->setValue(gameId);
    root.createChild("version")->setValue(version);
    root.createChild("level")->setValue(score.level);
    root.createChild("name")->setValue(score.name);
    root.createChild("score")->setValue(score.score);
    root.createChild("custom")->setValue(score.custom);
    // The service checks the texts as they stand in the document, where leading and trailing
    // blanks are gone; sign those, not the texts as the game gave them.
    HighScore written = score;
    written.level = root.getValue("level", "");
    written.name = root.getValue("name", "");
    written.custom = root.getValue("custom", "");
    root.createChild("checksum")->setValue(signScore(gameId, version, written, mKey));
    url = mServerUrl;
    request = HTTPMessage(root.toString());
    request.setHeader("Content-type", "application/xml");
}

void HighScoreManager::createDownloadRequest(std::string& url, HTTPMessage& request,
                                             const std::string& level) const
{
    HTTPQueryString query;
    query.setParameter("limit", static_cast<int>(mMaxPerLevel));
    url = mServerUrl + StringUtil::toString(mGameId) + "/" + encodePathSegment(level) + "?" + query.encode();
    request = HTTPMessage();
}

bool HighScoreManager::parseDownloadResponse(const HTTPMessage& reply, std::list<HighScore>& list)
{
    const std::string type = reply.getHeader("Content-type");
    const std::string expected = "application/xml";
    if (reply.hasHeader("Content-type") &&
        !HTTPMessage::equalsIgnoreCase(type.substr(0, expected.size()), expected))
    {
        Log::error("Unsupported high-score download response content type '%s'",
                   PeerText::forLog(type).c_str());
        return false;
    }
    XMLElement root("");
    if (root.parse(reply.getBody()) < 0 || root.getName() != "highscores")
    {
        Log::error("Failed to parse high-score download response: %s",
                   root.getName() == "highscores" || root.getName().empty()
                       ? PeerText::forLog(XMLElement::getLastError()).c_str()
                       : "root is not 'highscores'");
        return false;
    }
    for (const XMLElement* child = root.getChild("highscore"); child;
         child = root.getNextChild(child, "highscore"))
    {
        HighScore score = readHighScore(*child);
        list.push_back(score);
    }
    return true;
}

void HighScoreManager::execute()
{
    Log::debug("High-score manager thread starting..");
    HTTPClient client;
    mMutex.lock();
    while (mRunning)
    {
        if (mQueue.empty())
        {
            mCondition.wait(mMutex, 0);
            continue;
        }
        OnlineRequest request = mQueue.front();
        mQueue.pop_front();
        mMutex.unlock();
        Log::debug("High-score manager thread processing request (%d, '%s')", request.type,
                   request.level.c_str());

        std::string url;
        HTTPMessage message;
        std::list<HighScore> scores;
        if (request.type == OnlineRequest::DOWNLOAD)
        {
            createDownloadRequest(url, message, request.level);
            HTTPMessage reply = client.send(url, HTTPClient::GET, message, MAX_RESPONSE_SIZE);
            request.result = STATUS_FAILED;
            if (reply.getStatus() < 200 || reply.getStatus() > 299)
                Log::error("High-score download for level '%s' failed with HTTP error %d ('%s')",
                           request.level.c_str(), reply.getStatus(),
                           PeerText::forLog(reply.getBody()).c_str());
            else if (parseDownloadResponse(reply, scores))
            {
                sortAndCut(scores);
                request.result = STATUS_AVAILABLE;
                Log::debug("Downloaded %d/%d high-scores for level '%s'", static_cast<int>(scores.size()),
                           mMaxPerLevel, request.level.c_str());
            }
        }
        else
        {
            createUploadRequest(url, message, request.score);
            HTTPMessage reply = client.send(url, HTTPClient::POST, message, MAX_RESPONSE_SIZE);
            request.result = STATUS_FAILED;
            if (reply.getStatus() < 200 || reply.getStatus() > 299)
                Log::error("High-score upload for level '%s' failed with HTTP error %d ('%s')",
                           request.level.c_str(), reply.getStatus(),
                           PeerText::forLog(reply.getBody()).c_str());
            else
            {
                request.result = STATUS_AVAILABLE;
                Log::info("Uploaded new high-score %d for level '%s'", request.score.score,
                          request.level.c_str());
            }
        }

        mMutex.lock();
        if (request.type == OnlineRequest::DOWNLOAD)
        {
            LevelEntry& entry = mOnlineTable[request.level];
            entry.status = request.result;
            if (request.result == STATUS_AVAILABLE)
            {
                entry.scores.swap(scores);
                entry.count = static_cast<unsigned int>(entry.scores.size());
                entry.time = now();
            }
        }
        mFinished.push_back(request);
    }
    mMutex.unlock();
    Log::debug("High-score manager thread exiting..");
}

bool HighScoreManager::saveLocal()
{
    if (mLocalFile.empty())
        return false;
    XMLElement root("highscores");
    MD5 md5;
    for (const auto& level : mLocalTable)
    {
        for (const HighScore& score : level.second.scores)
        {
            XMLElement* element = root.createChild("highscore");
            element->createChild("level")->setValue(score.level);
            element->createChild("name")->setValue(score.name);
            element->createChild("score")->setValue(score.score);
            element->createChild("custom")->setValue(score.custom);
            element->createChild("timestamp")->setValue(StringUtil::toString(score.timestamp));
            element->calculateChecksum(md5);
        }
    }
    md5.finalize();
    root.createChild("checksum")->setValue(md5.getChecksumHex());
    if (root.save(mLocalFile, true) < 0)
    {
        Log::error("Error saving high-score file '%s': %s", mLocalFile.c_str(),
                   XMLElement::getLastError().c_str());
        return false;
    }
    return true;
}

bool HighScoreManager::loadLocal()
{
    if (!File::fileExists(mLocalFile))
    {
        Log::debug("No high-score file '%s' yet", mLocalFile.c_str());
        return false;
    }
    XMLElement root("");
    if (root.load(mLocalFile) < 0)
    {
        Log::error("Error loading high-score file '%s': %s", mLocalFile.c_str(),
                   XMLElement::getLastError().c_str());
        return false;
    }
    MD5 md5;
    const int64_t loaded = now();
    for (const XMLElement* child = root.getChild("highscore"); child;
         child = root.getNextChild(child, "highscore"))
    {
        HighScore score = readHighScore(*child);
        LevelEntry& entry = mLocalTable[score.level];
        entry.scores.push_back(score);
        entry.count = static_cast<unsigned int>(entry.scores.size());
        entry.status = STATUS_AVAILABLE;
        entry.time = loaded;
        child->calculateChecksum(md5);
    }
    md5.finalize();
    if (md5.getChecksumHex() != root.getValue("checksum", ""))
    {
        Log::error("High-score file '%s' checksum mismatch", mLocalFile.c_str());
        mLocalTable.clear();
        return false;
    }
    // A file written by hand may hold more or unsorted entries; the table keeps its rules.
    for (auto& level : mLocalTable)
    {
        sortAndCut(level.second.scores);
        level.second.count = static_cast<unsigned int>(level.second.scores.size());
    }
    return true;
}
} // namespace brix
