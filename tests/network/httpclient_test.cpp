#include "network/httpclient.h"
#include "network/httpquerystring.h"
#include "network/networkaddress.h"

#include "support/logcapture.h"
#include "support/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using brix::HTTPClient;
using brix::HTTPMessage;
using brix::HTTPQueryString;
using brix::NetworkAddress;
using test::ScriptedServer;

namespace
{
bool logged(const test::LogCapture& log, const std::string& text)
{
    auto lines = log.lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line == text; });
}

// A server that answers any request with the given bytes and closes.
ScriptedServer::Script answer(const std::string& reply)
{
    return [reply](int socket)
    {
        ScriptedServer::readAvailable(socket, 200);
        ScriptedServer::send(socket, reply);
    };
}
} // namespace

TEST(HTTPClient, DecodesURLsAndRefusesOtherSchemes)
{
    test::LogCapture log;
    NetworkAddress address;
    std::string path;
    ASSERT_TRUE(HTTPClient::decodeURL("http://127.0.0.1/a/b?x=1", address, path));
    EXPECT_EQ("127.0.0.1:80", address.toString());
    EXPECT_EQ("/a/b?x=1", path);
    ASSERT_TRUE(HTTPClient::decodeURL("http://127.0.0.1:8080", address, path));
    EXPECT_EQ(8080, address.getPort());
    EXPECT_EQ("/", path);
    EXPECT_FALSE(HTTPClient::decodeURL("https://127.0.0.1/", address, path));
    EXPECT_TRUE(logged(log, "E Unsupported URL scheme 'https'"));
    EXPECT_FALSE(HTTPClient::decodeURL("http:///nohost", address, path));
}

TEST(HTTPClient, PostCarriesItsLengthAndNothingElseIsAdded)
{
    HTTPMessage request("twelve bytes");
    std::string text;
    ASSERT_TRUE(HTTPClient::createRequest("/p", HTTPClient::POST, request, text));
    EXPECT_EQ("POST /p HTTP/1.0\r\nContent-length: 12\r\n\r\ntwelve bytes", text);

    request.setHeader("CONTENT-LENGTH", "3");
    ASSERT_TRUE(HTTPClient::createRequest("/", HTTPClient::GET, request, text));
    EXPECT_EQ("GET / HTTP/1.0\r\nCONTENT-LENGTH: 3\r\n\r\ntwelve bytes", text);
    EXPECT_FALSE(HTTPClient::createRequest("/", static_cast<HTTPClient::Method>(2), request, text));
}

TEST(HTTPClient, ParsesStatusHeadersAndBody)
{
    HTTPMessage message;
    ASSERT_TRUE(HTTPClient::parseResponse("HTTP/1.0 404 Not Found\r\nX-A: v \r\n\r\nbody", message));
    EXPECT_EQ(404u, message.getStatus());
    EXPECT_EQ("v", message.getHeader("x-a"));
    EXPECT_EQ("body", message.getBody());

    // Servers that end their lines with a bare LF still have a body.
    ASSERT_TRUE(HTTPClient::parseResponse("HTTP/1.0 200 OK\nContent-type: text/xml\n\n<a>1</a>\n", message));
    EXPECT_EQ(200u, message.getStatus());
    EXPECT_EQ("text/xml", message.getHeader("Content-Type"));
    EXPECT_EQ("<a>1</a>\n", message.getBody());
}

TEST(HTTPClient, RefusesMalformedStatusLines)
{
    test::LogCapture log;
    HTTPMessage message;
    EXPECT_FALSE(HTTPClient::parseResponse("", message));
    EXPECT_FALSE(HTTPClient::parseResponse("HTTP/1.0 OK\r\n\r\n", message));
    EXPECT_FALSE(HTTPClient::parseResponse("HTTP/1.0 20x\r\n\r\n", message));
    EXPECT_FALSE(HTTPClient::parseResponse("HTTP/1.0 200 OK\r\nX-A: cut off", message));
    EXPECT_EQ(0u, message.getStatus());
    EXPECT_TRUE(logged(log, "E Invalid status code in HTTP response"));
}

TEST(HTTPQueryString, EncodesInNameOrderAndDecodesUntilAFault)
{
    HTTPQueryString query;
    query.setParameter("b", "x y");
    query.setParameter("a", 1);
    EXPECT_EQ("a=1&b=x%20y", query.encode());
    EXPECT_EQ("%C3%A9%2F%3F~-_.", HTTPQueryString::urlEncode("\xC3\xA9/?~-_."));

    HTTPQueryString decoded;
    EXPECT_FALSE(decoded.decode("a=1&b"));
    EXPECT_EQ(1, decoded.getParameterAsInteger("a", 0));
    EXPECT_FALSE(decoded.hasParameter("b"));
    ASSERT_TRUE(decoded.decode("n=a%20b+c%21&m=%4"));
    EXPECT_EQ("a b+c!", decoded.getParameter("n"));
    EXPECT_EQ("", decoded.getParameter("m"));
    EXPECT_EQ(7, decoded.getParameterAsInteger("missing", 7));
}

TEST(HTTPClient, FetchesFromALoopbackServer)
{
    ScriptedServer server(answer("HTTP/1.0 200 OK\r\nContent-type: application/xml\r\n\r\n<a>1</a>"));
    HTTPMessage reply =
        HTTPClient().send("http://" + server.address() + "/x", HTTPClient::GET, HTTPMessage(), 0);
    EXPECT_EQ(200u, reply.getStatus());
    EXPECT_EQ("<a>1</a>", reply.getBody());
}

TEST(HTTPClient, FailsCleanlyOnHostileServers)
{
    test::LogCapture log;
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    {
        // Exactly as large as the caller allows: taken whole.
        ScriptedServer server(answer(head + std::string(4096 - head.size(), 'x')));
        HTTPMessage reply =
            HTTPClient().send("http://" + server.address() + "/", HTTPClient::GET, HTTPMessage(), 4096);
        EXPECT_EQ(200u, reply.getStatus());
        EXPECT_EQ(4096 - head.size(), reply.getBody().size());
        EXPECT_FALSE(logged(log, "E TCP socket receive size exceeded"));
    }
    {
        // One byte larger.
        ScriptedServer server(answer(head + std::string(4097 - head.size(), 'x')));
        HTTPMessage reply =
            HTTPClient().send("http://" + server.address() + "/", HTTPClient::GET, HTTPMessage(), 4096);
        EXPECT_EQ(0u, reply.getStatus());
        EXPECT_TRUE(reply.getBody().empty());
        EXPECT_TRUE(logged(log, "E TCP socket receive size exceeded"));
    }
    {
        ScriptedServer server(answer("garbage without a status\r\n\r\n"));
        HTTPMessage reply =
            HTTPClient().send("http://" + server.address() + "/", HTTPClient::GET, HTTPMessage(), 0);
        EXPECT_EQ(0u, reply.getStatus());
        EXPECT_TRUE(logged(log, "E Invalid status code in HTTP response"));
    }
    {
        // Answers but never closes: the idle time-out ends the wait, before the total one and
        // long before the server would close.
        ScriptedServer server(
            [](int socket)
            {
                ScriptedServer::readAvailable(socket, 200);
                ScriptedServer::send(socket, "HTTP/1.0 200 OK\r\n\r\npartial");
                ScriptedServer::readAvailable(socket, HTTPClient::RECEIVE_TOTAL_TIMEOUT + 5000);
            });
        auto start = std::chrono::steady_clock::now();
        HTTPMessage reply =
            HTTPClient().send("http://" + server.address() + "/", HTTPClient::GET, HTTPMessage(), 0);
        auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(0u, reply.getStatus());
        EXPECT_TRUE(logged(log, "E TCP socket receive timeout (receive idle time)"));
        EXPECT_GE(waited.count(), HTTPClient::RECEIVE_IDLE_TIMEOUT);
        EXPECT_LT(waited.count(), HTTPClient::RECEIVE_TOTAL_TIMEOUT);
    }
}
