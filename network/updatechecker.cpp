#include "network/updatechecker.h"

#include "network/httpclient.h"
#include "network/httpquerystring.h"
#include "toolkit/log.h"
#include "toolkit/peertext.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

namespace brix
{
UpdateChecker::UpdateChecker(const std::string& url, unsigned int channel, unsigned int currentVersion)
    : mURL(url), mChannel(channel), mCurrentVersion(currentVersion), mVersion(0), mBusy(false)
{
    if (!mURL.empty() && mURL.back() != '/')
        mURL += '/';
}

UpdateChecker::~UpdateChecker()
{
    mThread.wait();
}

bool UpdateChecker::check()
{
    mThread.wait();
    mMutex.lock();
    mVersion = 0;
    mDownloadURL.clear();
    mBusy = true;
    mMutex.unlock();
    if (mThread.start(this))
        return true;
    mMutex.lock();
    mBusy = false;
    mMutex.unlock();
    return false;
}

bool UpdateChecker::isBusy()
{
    mMutex.lock();
    bool busy = mBusy;
    mMutex.unlock();
    return busy;
}

unsigned int UpdateChecker::getVersion()
{
    mMutex.lock();
    unsigned int version = mVersion;
    mMutex.unlock();
    return version;
}

std::string UpdateChecker::getDownloadURL()
{
    mMutex.lock();
    std::string url = mDownloadURL;
    mMutex.unlock();
    return url;
}

std::string UpdateChecker::getMessage()
{
    mMutex.lock();
    std::string message = mMessage;
    mMutex.unlock();
    return message;
}

std::string UpdateChecker::getRequestURL() const
{
    HTTPQueryString query;
    query.setParameter("version", StringUtil::versionNumberToString(mCurrentVersion));
    query.setParameter("message", 1);
    return mURL + StringUtil::toString(mChannel) + "?" + query.encode();
}

void UpdateChecker::execute()
{
    Log::debug("Update checker thread starting (%08X)", mCurrentVersion);
    HTTPClient client;
    HTTPMessage response = client.send(getRequestURL(), HTTPClient::GET, HTTPMessage(), MAX_RESPONSE_SIZE);

    XMLElement root("");
    bool parsed = root.parse(response.getBody()) >= 0;
    if (parsed && root.getName() != "update")
    {
        Log::error("Failed to parse version check response: root element '%s' is not 'update'",
                   PeerText::forLog(root.getName()).c_str());
        parsed = false;
    }
    else if (!parsed)
        Log::error("Failed to parse version check response: %s",
                   PeerText::forLog(XMLElement::getLastError()).c_str());

    mMutex.lock();
    if (parsed)
    {
        mVersion = StringUtil::versionStringToNumber(root.getValue("version", ""));
        mDownloadURL = root.getValue("url", "");
        mMessage = root.getValue("message", "");
    }
    mBusy = false;
    mMutex.unlock();
}
} // namespace brix
