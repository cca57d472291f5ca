#include "game/level/datafile.h"

#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

namespace game
{
bool loadDataTree(const std::string& path, const std::string& root, brix::XMLElement& tree,
                  std::string& error, std::string* text)
{
    if (tree.load(path, text) < 0)
        error = brix::XMLElement::getLastError();
    else if (tree.getName() != root)
        error = "Root element is '" + tree.getName() + "', not '" + root + "'";
    else
        return true;
    return false;
}

bool getDataFileChecksum(const std::string& file, unsigned& checksum)
{
    for (const TDataFileChecksum* entry = DATA_FILE_CHECKSUMS; entry->file; ++entry)
        if (file == entry->file)
        {
            checksum = entry->checksum;
            return true;
        }
    return false;
}

bool isDataFileUnmodified(const std::string& file)
{
    unsigned stored = 0;
    if (!getDataFileChecksum(file, stored))
        return true;
    brix::XMLElement root("");
    if (root.load(file) < 0)
    {
        brix::Log::error("Unable to load '%s'", file.c_str());
        return false;
    }
    if (calculateDataChecksum(root) == stored)
    {
        brix::Log::debug("File '%s' unmodified", file.c_str());
        return true;
    }
    brix::Log::debug("File '%s' modification detected", file.c_str());
    return false;
}
} // namespace game
