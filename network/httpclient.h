#pragma once
#include "network/httpmessage.h"

#include <string>

namespace brix
{
class NetworkAddress;

// A small blocking HTTP/1.0 client for the background tasks: one request per fresh TCP
// connection, read until the server closes. Plain "http" URLs only; no keep-alive, chunked
// transfer or redirects, and no header is added except Content-length on a POST.
class HTTPClient
{
public:
    enum Method
    {
        GET = 0,
        POST = 1
    };

    static constexpr unsigned int DEFAULT_PORT = 80;
    static constexpr unsigned int CONNECT_TIMEOUT = 5000;
    static constexpr unsigned int TRANSMIT_TIMEOUT = 2000;
    static constexpr unsigned int RECEIVE_IDLE_TIMEOUT = 5000;
    static constexpr unsigned int RECEIVE_TOTAL_TIMEOUT = 10000;
    // Characters of the status line read after the status code.
    static constexpr unsigned int MAX_STATUS_LINE = 1024;

    // Blocks the calling thread. maxResponseSize 0 takes any size. Every failure gives an
    // empty message (status 0, no headers, empty body) with the reason in the log.
    HTTPMessage send(const std::string& url, Method method, const HTTPMessage& request,
                     unsigned int maxResponseSize);

    // Splits "http://host[:port]/path" into the server (port 80 when none is given) and the
    // path ("/" when none is given).
    static bool decodeURL(const std::string& url, NetworkAddress& address, std::string& path);
    static bool createRequest(const std::string& path, Method method, const HTTPMessage& request,
                              std::string& out);
    // Reads the status line, the headers (lines ended by CRLF or a lone LF, up to an empty
    // line) and takes the rest as the body.
    static bool parseResponse(const std::string& text, HTTPMessage& out);
};
} // namespace brix
