// Parses arbitrary bytes as an HTTP response, as a query string, and as the bodies the update
// checker and the high-score manager read from a service.
#include "network/highscoremanager.h"
#include "network/httpclient.h"
#include "network/httpmessage.h"
#include "network/httpquerystring.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    brix::HTTPMessage message;
    if (brix::HTTPClient::parseResponse(text, message))
    {
        std::list<brix::HighScore> scores;
        brix::HighScoreManager::parseDownloadResponse(message, scores);
    }
    brix::HTTPQueryString query;
    query.decode(text);
    brix::HTTPQueryString again(query.encode());
    if (again.encode() != query.encode())
        __builtin_trap();
    if (brix::HTTPQueryString::urlDecode(brix::HTTPQueryString::urlEncode(text)) != text)
        __builtin_trap();
    return 0;
}
