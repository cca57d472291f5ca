#include "game/level/levelcache.h"

#include "game/level/datafile.h"
#include "game/level/level.h"
#include "game/level/levelpoint.h"
#include "toolkit/peertext.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreArchive.h>
#include <OgreResourceGroupManager.h>

#include <cstdint>
#include <set>

namespace game
{
const char* const LevelCache::FILE_NAME = "levels.xml";
const char* const LevelCache::RESOURCE_GROUP = "levels";
const char* const LevelCache::BUILTIN_ARCHIVE = "levels";

namespace
{
const char* const CACHE_ROOT = "levels";
const char* const LEVEL_ROOT = "level";
const char* const LEVEL_EXTENSION = ".xml";

// The numbers of the cache file are signed 32-bit integers: checksums at or above 0x80000000
// are written as negative numbers and read back into the same bits.
unsigned readNumber(const brix::XMLElement& element, const char* name)
{
    return static_cast<unsigned>(element.getValueAsInteger(name, 0));
}

void writeNumber(brix::XMLElement& element, const char* name, unsigned value)
{
    element.createChild(name)->setValue(static_cast<int>(static_cast<int32_t>(value)));
}
} // namespace

LevelCache::LevelCache(const std::string& userDataDirectory, const Level& level)
    : mUserDataDirectory(userDataDirectory), mLevel(level)
{
    if (!load(brix::File::filePath(mUserDataDirectory, FILE_NAME)))
    {
        brix::Log::error("Level cache loading failed, recreating cache..");
        mEntries.clear();
    }
}

LevelCache::~LevelCache() = default;

bool LevelCache::scanLevelFile(const std::string& path, Entry& entry) const
{
    brix::XMLElement root(LEVEL_ROOT);
    std::string error;
    if (!mLevel.loadPlayableTree(path, root, error))
    {
        brix::Log::error("Error loading level file '%s': %s", path.c_str(),
                         brix::PeerText::forLog(error).c_str());
        return false;
    }
    entry.title = Level::readTitleText(root, "title");
    entry.author = Level::readTitleText(root, "author");
    entry.next = root.getValue("next", "");
    entry.file = path;
    entry.flags = 0;
    entry.modificationTime = 0;
    entry.size = 0;
    if (const brix::XMLElement* points = root.getChild("points"))
        for (const brix::XMLElement* point = points->getChild("point"); point;
             point = points->getNextChild(point, "point"))
        {
            if (point->getValue("type", "") != LevelPoint::getTypeName(LevelPoint::TYPE_SPECIAL))
                continue;
            const std::string name = point->getValue("name", "");
            if (name == LevelPoint::SINGLE_PLAYER_START)
                entry.flags |= FLAG_SINGLE_PLAYER;
            else if (name == LevelPoint::MULTIPLAYER_START)
                entry.flags |= FLAG_MULTIPLAYER;
        }
    // Whether a level is built in is told by the folder it lies in (update), never by what its
    // file claims: a level downloaded into the player's folder is the player's.
    entry.checksum = calculateDataChecksum(root);
    return true;
}

void LevelCache::update()
{
    brix::Log::debug("Updating level cache");
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (!groups.resourceGroupExists(RESOURCE_GROUP))
    {
        // Without the group nothing can be found, and nothing is known to be missing either.
        brix::Log::error("Level cache update without the resource group '%s'", RESOURCE_GROUP);
        return;
    }
    bool changed = false;
    std::set<std::string> found;
    Ogre::FileInfoListPtr files = groups.findResourceFileInfo(RESOURCE_GROUP, "*.xml");
    const size_t extensionLength = std::string(LEVEL_EXTENSION).size();
    for (const Ogre::FileInfo& info : *files)
    {
        if (info.basename.size() < extensionLength || !info.archive)
            continue;
        const std::string name = info.basename.substr(0, info.basename.size() - extensionLength);
        const std::string archive = info.archive->getName();
        const std::string path = archive + "/" + info.filename;
        const uint64_t time = static_cast<uint64_t>(info.archive->getModifiedTime(info.filename));
        const uint64_t size = static_cast<uint64_t>(info.uncompressedSize);
        found.insert(path);
        brix::Log::debug("Found level '%s' in '%s'", name.c_str(), path.c_str());

        auto cached = mEntries.find(name);
        if (cached == mEntries.end())
        {
            brix::Log::info("Adding level '%s' to cache", name.c_str());
            Entry entry;
            if (!scanLevelFile(path, entry))
                continue;
            entry.modificationTime = static_cast<unsigned>(time);
            entry.size = static_cast<unsigned>(size);
            if (archive == BUILTIN_ARCHIVE)
                entry.flags |= FLAG_BUILTIN;
            mEntries[name] = entry;
            changed = true;
        }
        else if (cached->second.file == path &&
                 (uint64_t(cached->second.modificationTime) != time || uint64_t(cached->second.size) != size))
        {
            brix::Log::info("Updating cached information for level '%s'", name.c_str());
            if (scanLevelFile(path, cached->second))
            {
                cached->second.modificationTime = static_cast<unsigned>(time);
                cached->second.size = static_cast<unsigned>(size);
                if (archive == BUILTIN_ARCHIVE)
                    cached->second.flags |= FLAG_BUILTIN;
            }
            else
            {
                brix::Log::info("Removing invalid level '%s' from cache", name.c_str());
                mEntries.erase(cached);
            }
            changed = true;
        }
    }
    for (auto entry = mEntries.begin(); entry != mEntries.end();)
    {
        if (found.count(entry->second.file))
        {
            ++entry;
            continue;
        }
        brix::Log::info("Removing missing level '%s' from cache", entry->first.c_str());
        entry = mEntries.erase(entry);
        changed = true;
    }
    if (changed)
    {
        ++mRevision;
        save(brix::File::filePath(mUserDataDirectory, FILE_NAME));
    }
}

void LevelCache::refresh(const std::string& name)
{
    // Found again as a level new to the cache, under the rules every found level passes.
    if (Ogre::ResourceGroupManager::getSingleton().resourceGroupExists(RESOURCE_GROUP))
        mEntries.erase(name);
    update();
}

bool LevelCache::load(const std::string& path)
{
    brix::XMLElement root(CACHE_ROOT);
    std::string error;
    if (!loadDataTree(path, CACHE_ROOT, root, error))
    {
        brix::Log::error("Level cache (%s) loading failed: %s", path.c_str(), error.c_str());
        return false;
    }
    const unsigned version = static_cast<unsigned>(root.getValueAsInteger("version", 0));
    if (version != VERSION)
    {
        brix::Log::error("Level cache (%s) version mismatch (%08X vs %08X)", path.c_str(), version, VERSION);
        return false;
    }
    for (const brix::XMLElement* level = root.getChild("level"); level;
         level = root.getNextChild(level, "level"))
    {
        Entry entry;
        entry.file = level->getValue("file", "");
        // Cleaned as a level's own: the cache file may be older than that cleaning, or edited.
        entry.title = Level::readTitleText(*level, "title");
        entry.author = Level::readTitleText(*level, "author");
        entry.next = level->getValue("next", "");
        entry.flags = readNumber(*level, "flags");
        entry.checksum = readNumber(*level, "checksum");
        entry.modificationTime = readNumber(*level, "modificationtime");
        entry.size = readNumber(*level, "size");
        mEntries.emplace(level->getValue("name", ""), entry);
    }
    brix::Log::info("Loaded level cache (%s) with %d levels", path.c_str(),
                    static_cast<int>(mEntries.size()));
    return true;
}

void LevelCache::save(const std::string& path) const
{
    brix::XMLElement root(CACHE_ROOT);
    root.createChild("version")->setValue(static_cast<int>(VERSION));
    for (const auto& cached : mEntries)
    {
        const Entry& entry = cached.second;
        brix::XMLElement* level = root.createChild("level");
        level->createChild("name")->setValue(cached.first);
        level->createChild("file")->setValue(entry.file);
        level->createChild("title")->setValue(entry.title);
        level->createChild("author")->setValue(entry.author);
        level->createChild("next")->setValue(entry.next);
        writeNumber(*level, "flags", entry.flags);
        writeNumber(*level, "checksum", entry.checksum);
        writeNumber(*level, "modificationtime", entry.modificationTime);
        writeNumber(*level, "size", entry.size);
    }
    if (root.save(path, true) < 0)
        brix::Log::error("Level cache (%s) saving failed: %s", path.c_str(),
                         brix::XMLElement::getLastError().c_str());
}

const LevelCache::Entry* LevelCache::find(const std::string& name) const
{
    auto entry = mEntries.find(name);
    return entry == mEntries.end() ? nullptr : &entry->second;
}

bool LevelCache::hasLevel(const std::string& name) const
{
    return find(name) != nullptr;
}

unsigned LevelCache::getChecksum(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->checksum : 0;
}

unsigned LevelCache::getFlags(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->flags : 0;
}

std::string LevelCache::getTitle(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->title : std::string();
}

std::string LevelCache::getAuthor(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->author : std::string();
}

std::string LevelCache::getNext(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->next : std::string();
}

std::string LevelCache::getFileName(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->file : std::string();
}

void LevelCache::getLevelNames(std::vector<std::string>& names, unsigned value, unsigned mask) const
{
    for (const auto& entry : mEntries)
        if ((entry.second.flags & mask) == value)
            names.push_back(entry.first);
}
} // namespace game
