// Feeds arbitrary bytes to the FTP reply reader (split into replies as they would arrive), the
// passive-address parser and the level share's index parser, and checks that every listed
// file name is safe to use as a local file name.
#include "network/fileshare.h"
#include "network/ftpclient.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string buffer = text;
    std::string code, rest, whole;
    for (int replies = 0; replies < 1000 && brix::FTPClient::takeResponse(buffer, code, rest, whole) > 0;
         ++replies)
    {
        if (code.size() != 3)
            __builtin_trap();
        brix::FTPClient::parsePasvAddress(rest);
    }

    std::vector<brix::FileShare::FileInfo> files;
    if (brix::FileShare::parseIndex(text, "fuzz", files))
    {
        for (const brix::FileShare::FileInfo& info : files)
        {
            if (!brix::FileShare::isPlainFileName(info.name) || info.name.find('/') != std::string::npos)
                __builtin_trap();
        }
    }
    return 0;
}
