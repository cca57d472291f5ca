#pragma once
#include "network/networkaddress.h"
#include "network/tcpsocket.h"

#include <string>
#include <vector>

namespace brix
{
class NetworkDecodeStream;

// Asks the match maker over TCP for the matches game servers have announced. Each query
// opens a connection, sends one request, reads the reply until the server closes and decodes
// it. Blocking: the game runs it on its match browser's thread.
//
// Request: uint8 id, uint16 body length, body (102: uint16 game id, string name; 103: uint16
// game id, string name filter, uint32 value3, uint32 value1, uint32 value2, uint16 maximum
// count). Reply: uint8 104, uint16 length, uint16 game id, uint16 count, then records of
// string name, string info, uint32 flags, uint32 value, uint32 address, uint16 port.
class MatchMakerClient
{
public:
    struct Match
    {
        std::string name;
        std::string info;
        // Bits 28-31 slots, 24-27 connected players, bit 23 password.
        unsigned int flags = 0;
        unsigned int value = 0;
        NetworkAddress address;
    };

    static constexpr unsigned char MESSAGE_MATCH_QUERY = 102;
    static constexpr unsigned char MESSAGE_LIST_QUERY = 103;
    static constexpr unsigned char MESSAGE_RESPONSE = 104;
    static constexpr unsigned int REQUEST_HEADER_SIZE = 3;
    static constexpr unsigned int MAX_REQUEST_BODY = 509;
    static constexpr unsigned int MAX_RESPONSE_SIZE = 65535;
    static constexpr unsigned int CONNECT_TIMEOUT = 5000;
    static constexpr unsigned int RECEIVE_IDLE_TIMEOUT = 4000;
    static constexpr unsigned int RECEIVE_TOTAL_TIMEOUT = 8000;

    MatchMakerClient(const NetworkAddress& server, unsigned short gameId);
    virtual ~MatchMakerClient();

    bool getMatch(const std::string& name, Match& out);
    // Appends at most maxCount records to out (not cleared), whatever the server sends;
    // records decoded before a damaged one stay.
    bool getMatches(const std::string& nameFilter, unsigned int value1, unsigned int value2,
                    unsigned int value3, unsigned short maxCount, std::vector<Match>& out);
    bool getMatches(unsigned short maxCount, std::vector<Match>& out);

    // Decodes a whole list reply for gameId, appending each record to out, at most maxCount;
    // records beyond those are not read.
    static bool decodeMatches(const std::string& reply, unsigned short gameId, unsigned short maxCount,
                              std::vector<Match>& out);
    // Decodes a whole single-match reply for gameId.
    static bool decodeSingleMatch(const std::string& reply, unsigned short gameId, Match& out);

private:
    bool query(unsigned char id, const unsigned char* body, unsigned int length, std::string& reply);
    static bool decodeResponseHeader(NetworkDecodeStream& stream, unsigned int size, unsigned short gameId);
    static bool decodeMatch(NetworkDecodeStream& stream, Match& out);

    NetworkAddress mServer;
    unsigned short mGameId;
    TCPSocket mSocket;
};
} // namespace brix
