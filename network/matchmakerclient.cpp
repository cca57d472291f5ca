#include "network/matchmakerclient.h"

#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"

namespace brix
{
MatchMakerClient::MatchMakerClient(const NetworkAddress& server, unsigned short gameId)
    : mServer(server), mGameId(gameId)
{
}

MatchMakerClient::~MatchMakerClient() = default;

bool MatchMakerClient::getMatch(const std::string& name, Match& out)
{
    unsigned char body[MAX_REQUEST_BODY];
    NetworkEncodeStream stream(body, sizeof(body));
    stream.encodeUInt16(mGameId);
    stream.encodeString(name);
    std::string reply;
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::error("Matchmaker query request encoding failed: %s", stream.getResultText());
        return false;
    }
    return query(MESSAGE_MATCH_QUERY, body, stream.getOffset(), reply) &&
           decodeSingleMatch(reply, mGameId, out);
}

bool MatchMakerClient::getMatches(const std::string& nameFilter, unsigned int value1, unsigned int value2,
                                  unsigned int value3, unsigned short maxCount, std::vector<Match>& out)
{
    unsigned char body[MAX_REQUEST_BODY];
    NetworkEncodeStream stream(body, sizeof(body));
    stream.encodeUInt16(mGameId);
    stream.encodeString(nameFilter);
    stream.encodeUInt32(value3);
    stream.encodeUInt32(value1);
    stream.encodeUInt32(value2);
    stream.encodeUInt16(maxCount);
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::error("Matchmaker query request encoding failed: %s", stream.getResultText());
        return false;
    }
    std::string reply;
    return query(MESSAGE_LIST_QUERY, body, stream.getOffset(), reply) &&
           decodeMatches(reply, mGameId, maxCount, out);
}

bool MatchMakerClient::getMatches(unsigned short maxCount, std::vector<Match>& out)
{
    return getMatches("", 0, 0, 0, maxCount, out);
}

bool MatchMakerClient::query(unsigned char id, const unsigned char* body, unsigned int length,
                             std::string& reply)
{
    if (!mSocket.connect(mServer, CONNECT_TIMEOUT))
    {
        Log::error("Connection to matchmaker server (%s) failed", mServer.toString().c_str());
        return false;
    }
    unsigned char request[REQUEST_HEADER_SIZE + MAX_REQUEST_BODY];
    NetworkEncodeStream head(request, REQUEST_HEADER_SIZE);
    head.encodeUInt8(id);
    head.encodeUInt16(static_cast<unsigned short>(length));
    std::copy(body, body + length, request + REQUEST_HEADER_SIZE);
    if (!mSocket.transmit(request, REQUEST_HEADER_SIZE + length))
    {
        Log::error("Matchmaker query request sending failed");
        mSocket.close();
        return false;
    }
    bool received = mSocket.receiveAll(reply, MAX_RESPONSE_SIZE, RECEIVE_IDLE_TIMEOUT, RECEIVE_TOTAL_TIMEOUT);
    mSocket.close();
    return received;
}

bool MatchMakerClient::decodeResponseHeader(NetworkDecodeStream& stream, unsigned int size,
                                            unsigned short gameId)
{
    if (size == 0)
    {
        Log::error("No response from matchmaker server (query rejected)");
        return false;
    }
    unsigned char id = stream.decodeUInt8();
    stream.decodeUInt16();
    unsigned short replyGameId = stream.decodeUInt16();
    stream.decodeUInt16();
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::error("Matchmaker query response header decoding failed: %s", stream.getResultText());
        return false;
    }
    if (id != MESSAGE_RESPONSE)
    {
        Log::error("Invalid message id %d in matchmaker query response", id);
        return false;
    }
    if (replyGameId != gameId)
    {
        Log::error("Mismatching game id %d in matchmaker query response", replyGameId);
        return false;
    }
    return true;
}

bool MatchMakerClient::decodeMatch(NetworkDecodeStream& stream, Match& out)
{
    Match match;
    match.name = stream.decodeString();
    match.info = stream.decodeString();
    match.flags = stream.decodeUInt32();
    match.value = stream.decodeUInt32();
    unsigned int address = stream.decodeUInt32();
    unsigned short port = stream.decodeUInt16();
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::error("Matchmaker query response data decoding failed: %s", stream.getResultText());
        return false;
    }
    match.address = NetworkAddress(address, port);
    out = match;
    return true;
}

bool MatchMakerClient::decodeMatches(const std::string& reply, unsigned short gameId, unsigned short maxCount,
                                     std::vector<Match>& out)
{
    const unsigned int size = static_cast<unsigned int>(reply.size());
    NetworkDecodeStream stream(reinterpret_cast<const unsigned char*>(reply.data()), size);
    if (!decodeResponseHeader(stream, size, gameId))
        return false;
    for (unsigned int count = 0; stream.getOffset() < size && count < maxCount; ++count)
    {
        Match match;
        if (!decodeMatch(stream, match))
            return false;
        out.push_back(match);
    }
    return true;
}

bool MatchMakerClient::decodeSingleMatch(const std::string& reply, unsigned short gameId, Match& out)
{
    const unsigned int size = static_cast<unsigned int>(reply.size());
    NetworkDecodeStream stream(reinterpret_cast<const unsigned char*>(reply.data()), size);
    return decodeResponseHeader(stream, size, gameId) && decodeMatch(stream, out);
}
} // namespace brix
