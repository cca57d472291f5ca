#pragma once
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <string>

namespace brix
{
// Asks the update service on a thread of its own whether a newer version of the game exists.
// Request: GET <url><channel>?message=1&version=<major.minor.patch>. Reply: an XML document
// with root "update" and the children "version", "url" and "message".
class UpdateChecker : public Task
{
public:
    // Larger replies are refused.
    static constexpr unsigned int MAX_RESPONSE_SIZE = 64 * 1024;

    // A "/" is appended to a non-empty url that does not end with one.
    UpdateChecker(const std::string& url, unsigned int channel, unsigned int currentVersion);
    // Waits for a running check.
    ~UpdateChecker() override;

    // Waits for a running check, then starts a new one; false when the thread did not start.
    bool check();
    bool isBusy();
    // 0 when the last check failed or is still running.
    unsigned int getVersion();
    std::string getDownloadURL();
    std::string getMessage();

    // The request address for the current settings.
    std::string getRequestURL() const;
    void execute() override;

private:
    std::string mURL;
    unsigned int mChannel;
    unsigned int mCurrentVersion;
    Thread mThread;
    Mutex mMutex;
    unsigned int mVersion;
    std::string mDownloadURL;
    std::string mMessage;
    bool mBusy;
};
} // namespace brix
