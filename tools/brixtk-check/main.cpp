// brixtk-check: reads an XML file of the game's dialect, checks it against a template, prints
// the checksums the game compares (CRC32 as level checksum, MD5) and writes it back formatted.

#include "toolkit/crc32.h"
#include "toolkit/md5.h"
#include "toolkit/xmlelement.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
const int EXIT_CHECK_FAILED = 1;
const int EXIT_USAGE = 2;

int usage()
{
    std::fprintf(stderr, "usage: brixtk-check [-t TEMPLATE] [-o OUTPUT] FILE\n"
                         "  Reads FILE, checks it against TEMPLATE when given, prints its CRC32 and MD5\n"
                         "  checksums and writes it formatted to OUTPUT when given (OUTPUT may be FILE).\n"
                         "  Exit status: 0 when every step succeeds, 1 when one fails, 2 on bad usage.\n");
    return EXIT_USAGE;
}

// Loads a file; on failure tells where and why.
bool load(brix::XMLElement& element, const std::string& path)
{
    int result = element.load(path);
    if (result >= 0)
        return true;
    std::fprintf(stderr, "brixtk-check: %s: %s (result %d)\n", path.c_str(),
                 brix::XMLElement::getLastError().c_str(), result);
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    std::string templatePath, outputPath, inputPath;
    for (int i = 1; i < argc; ++i)
    {
        const char* argument = argv[i];
        if ((!std::strcmp(argument, "-t") || !std::strcmp(argument, "-o")) && i + 1 < argc)
            (argument[1] == 't' ? templatePath : outputPath) = argv[++i];
        else if (argument[0] == '-' || !inputPath.empty())
            return usage();
        else
            inputPath = argument;
    }
    if (inputPath.empty())
        return usage();

    brix::XMLElement document("");
    if (!load(document, inputPath))
        return EXIT_CHECK_FAILED;
    std::printf("file %s: root '%s'\n", inputPath.c_str(), document.getName().c_str());

    brix::CRC32 crc;
    document.calculateChecksum(crc);
    crc.finalize();
    brix::MD5 md5;
    document.calculateChecksum(md5);
    md5.finalize();
    std::printf("crc32 0x%08X (%s)\n", crc.getChecksumInteger(), crc.getChecksumHex().c_str());
    std::printf("md5 %s\n", md5.getChecksumHex().c_str());

    int status = 0;
    if (!templatePath.empty())
    {
        brix::XMLElement rules("");
        if (!load(rules, templatePath))
            return EXIT_CHECK_FAILED;
        if (document.validate(&rules))
            std::printf("template %s: valid\n", templatePath.c_str());
        else
        {
            std::printf("template %s: invalid: %s\n", templatePath.c_str(),
                        brix::XMLElement::getLastError().c_str());
            status = EXIT_CHECK_FAILED;
        }
    }

    if (!outputPath.empty())
    {
        int written = document.save(outputPath, true);
        if (written < 0)
        {
            std::fprintf(stderr, "brixtk-check: %s: %s\n", outputPath.c_str(),
                         brix::XMLElement::getLastError().c_str());
            return EXIT_CHECK_FAILED;
        }
        std::printf("written %s: %d characters\n", outputPath.c_str(), written);
    }
    return status;
}
