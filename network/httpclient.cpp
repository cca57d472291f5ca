#include "network/httpclient.h"

#include "network/networkaddress.h"
#include "network/tcpsocket.h"
#include "toolkit/log.h"

namespace brix
{
HTTPMessage HTTPClient::send(const std::string& url, Method method, const HTTPMessage& request,
                             unsigned int maxResponseSize)
{
    NetworkAddress address;
    std::string path;
    std::string text;
    if (!decodeURL(url, address, path) || !createRequest(path, method, request, text))
        return HTTPMessage();

    TCPSocket socket;
    socket.setTransmitTimeout(TRANSMIT_TIMEOUT);
    if (!socket.connect(address, CONNECT_TIMEOUT))
        return HTTPMessage();
    if (!socket.transmit(reinterpret_cast<const unsigned char*>(text.data()), text.size()))
        return HTTPMessage();
    std::string reply;
    if (!socket.receiveAll(reply, maxResponseSize, RECEIVE_IDLE_TIMEOUT, RECEIVE_TOTAL_TIMEOUT))
        return HTTPMessage();
    socket.close();

    HTTPMessage response;
    if (!parseResponse(reply, response))
        return HTTPMessage();
    return response;
}

bool HTTPClient::decodeURL(const std::string& url, NetworkAddress& address, std::string& path)
{
    address.setInvalid();
    std::size_t schemeEnd = url.find("://");
    std::string scheme = url.substr(0, schemeEnd);
    if (schemeEnd == std::string::npos || scheme != "http")
    {
        Log::error("Unsupported URL scheme '%s'", scheme.c_str());
        return false;
    }
    std::size_t hostStart = schemeEnd + 3;
    std::size_t pathStart = url.find('/', hostStart);
    std::string host =
        url.substr(hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    path = pathStart == std::string::npos ? std::string("/") : url.substr(pathStart);
    if (host.empty())
    {
        Log::error("Missing host in URL '%s'", url.c_str());
        return false;
    }
    address = NetworkAddress(host);
    if (address.isValid() && address.getPort() == 0)
        address = NetworkAddress(address.getAddress(), DEFAULT_PORT);
    return address.isValid();
}

bool HTTPClient::createRequest(const std::string& path, Method method, const HTTPMessage& request,
                               std::string& out)
{
    if (method == GET)
        out = "GET ";
    else if (method == POST)
        out = "POST ";
    else
    {
        Log::error("Unsupported HTTP method");
        return false;
    }
    out += path + " HTTP/1.0\r\n";
    for (const HTTPMessage::Header& header : request.getHeaders())
        out += header.name + ": " + header.value + "\r\n";
    if (method == POST && !request.hasHeader("Content-length"))
        out += "Content-length: " + std::to_string(request.getBody().size()) + "\r\n";
    out += "\r\n";
    out += request.getBody();
    return true;
}

bool HTTPClient::parseResponse(const std::string& text, HTTPMessage& out)
{
    out = HTTPMessage();
    // Status line: a protocol word, blanks, a decimal status; the rest of the line is skipped.
    std::size_t position = 0;
    while (position < text.size() && text[position] != ' ' && text[position] != '\n')
        ++position;
    while (position < text.size() && text[position] == ' ')
        ++position;
    std::size_t digits = position;
    unsigned int status = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9' && position - digits < 9)
        status = status * 10 + static_cast<unsigned int>(text[position++] - '0');
    if (position == digits ||
        (position < text.size() && text[position] != ' ' && text[position] != '\r' && text[position] != '\n'))
    {
        Log::error("Invalid status code in HTTP response");
        return false;
    }
    std::size_t lineEnd = text.find('\n', position);
    if (lineEnd == std::string::npos || lineEnd - position > MAX_STATUS_LINE)
    {
        Log::error("Invalid status line in HTTP response");
        return false;
    }
    out.setStatus(status);
    position = lineEnd + 1;

    // Header lines up to an empty one; servers that end lines with a lone LF are understood too.
    for (;;)
    {
        lineEnd = text.find('\n', position);
        std::string line =
            text.substr(position, lineEnd == std::string::npos ? std::string::npos : lineEnd - position);
        position = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        if (line.empty() || line == "\r")
            break;
        if (lineEnd == std::string::npos)
        {
            Log::error("HTTP response ends inside its headers");
            out = HTTPMessage();
            return false;
        }
        std::size_t separator = line.find(": ");
        if (separator == std::string::npos)
            continue;
        std::string value = line.substr(separator + 2);
        std::size_t last = value.find_last_not_of(" \t\r\n");
        value.erase(last == std::string::npos ? 0 : last + 1);
        out.setHeader(line.substr(0, separator), value);
    }
    out.setBody(text.substr(position));
    return true;
}
} // namespace brix
