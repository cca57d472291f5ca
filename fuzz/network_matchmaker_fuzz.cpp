// Decodes arbitrary bytes as match-maker replies, both as a list and as a single match.
#include "network/matchmakerclient.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    std::vector<brix::MatchMakerClient::Match> matches;
    brix::MatchMakerClient::decodeMatches(reply, 1, matches);
    // Each record takes at least 16 bytes after a 7-byte header.
    if (size < 7 ? !matches.empty() : matches.size() > (size - 7) / 16)
        __builtin_trap();
    brix::MatchMakerClient::Match match;
    brix::MatchMakerClient::decodeSingleMatch(reply, 1, match);
    return 0;
}
