// Decodes arbitrary bytes as match-maker replies, both as a list and as a single match.
#include "network/matchmakerclient.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte is the maximum count asked for, the rest is the reply.
    const unsigned short maxCount = data[0];
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<brix::MatchMakerClient::Match> matches;
    brix::MatchMakerClient::decodeMatches(reply, 1, maxCount, matches);
    // Each record takes at least 16 bytes after a 7-byte header.
    if (matches.size() > maxCount ||
        (reply.size() < 7 ? !matches.empty() : matches.size() > (reply.size() - 7) / 16))
        __builtin_trap();
    brix::MatchMakerClient::Match match;
    brix::MatchMakerClient::decodeSingleMatch(reply, 1, match);
    return 0;
}
