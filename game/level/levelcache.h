#pragma once
#include <map>
#include <string>
#include <vector>

namespace game
{
class Level;

// The header of every level the game can find (title, author, file, next level, flags,
// modification time and checksum) by level name, so that menus, the match handshake and the
// high-score names need not open level files. Kept as "levels.xml" in the user data
// directory; refreshed from the resource group "levels" by update. Owned by the level.
class LevelCache
{
public:
    // The cache file's "version"; any other value rejects the file, and the next update scans
    // every level again. Raised whenever the rules for what the cache takes in change, so that
    // no entry kept under older rules stays; it is not the application's version.
    static constexpr unsigned VERSION = 0x01040204;
    static const char* const FILE_NAME;
    // The resource group searched, and the archive name of the built-in levels in it.
    static const char* const RESOURCE_GROUP;
    static const char* const BUILTIN_ARCHIVE;

    enum Flags
    {
        FLAG_SINGLE_PLAYER = 1,
        FLAG_MULTIPLAYER = 2,
        FLAG_BUILTIN = 4
    };

    struct Entry
    {
        std::string title;
        std::string author;
        // The path the level was found under: archive name, "/", file name.
        std::string file;
        std::string next;
        unsigned flags = 0;
        // Low 32 bits of the archive's modification time of the file, in seconds, and the
        // file's size: a file rewritten within the same second mostly changes its size.
        unsigned modificationTime = 0;
        unsigned size = 0;
        unsigned checksum = 0;
    };

    // Loads "levels.xml" from the directory; a missing, unreadable or older cache starts
    // empty. Does not scan the level folders. The level (not owned, usually the owner) holds
    // the rule a scanned file must pass, with its block catalogue.
    LevelCache(const std::string& userDataDirectory, const Level& level);
    virtual ~LevelCache();
    LevelCache(const LevelCache&) = delete;
    LevelCache& operator=(const LevelCache&) = delete;

    // Rescans the resource group: adds new levels, rescans changed ones (another modification
    // time or size), drops missing and unreadable ones, and saves the cache when anything
    // changed.
    void update();
    // Updates with the level read again from its file, whatever its time says: for a level
    // just written, which may keep the time the cache knows.
    void refresh(const std::string& name);
    // Counts the updates that changed anything, so that whatever lists the levels can tell
    // when to list them anew.
    unsigned getRevision() const { return mRevision; }
    // False, with the cause logged, for an unreadable file or another version; entries read
    // before are kept.
    bool load(const std::string& path);
    // Failures are logged.
    void save(const std::string& path) const;

    // Lookups by exact level name; 0 or empty for a level not in the cache.
    bool hasLevel(const std::string& name) const;
    unsigned getChecksum(const std::string& name) const;
    unsigned getFlags(const std::string& name) const;
    std::string getTitle(const std::string& name) const;
    std::string getAuthor(const std::string& name) const;
    std::string getNext(const std::string& name) const;
    std::string getFileName(const std::string& name) const;
    // Appends, in name order, every level whose flags AND mask equal the value.
    void getLevelNames(std::vector<std::string>& names, unsigned value, unsigned mask) const;

    // Reads one level file's header into the entry (modification time and size 0, no built-in
    // flag: only update gives it, to the levels of the built-in folder, whatever a file's "builtin"
    // element says). False, logged, when the file is not one the level loads and plays
    // (Level::loadPlayableTree): the cache lists only such levels.
    bool scanLevelFile(const std::string& path, Entry& entry) const;

private:
    const Entry* find(const std::string& name) const;

    std::map<std::string, Entry> mEntries;
    std::string mUserDataDirectory;
    const Level& mLevel;
    unsigned mRevision = 0;
};
} // namespace game
