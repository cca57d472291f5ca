#include "game/application/filesharebrowser.h"

#include "engine/presentation/messagedisplay.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "toolkit/peertext.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

#include <OgreString.h>

namespace game
{
const char* const FileShareBrowser::REMOTE_DIRECTORY = "/korvane/levels";

namespace
{
const unsigned int FLAG_SINGLE_PLAYER = 1;
const unsigned int FLAG_MULTIPLAYER = 2;
} // namespace

FileShareBrowser::FileShareBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved)
    : ListBrowser(browserId, itemsPerPage, reserved)
{
}

FileShareBrowser::~FileShareBrowser() = default;

void FileShareBrowser::initialize(const std::string& server, const std::string& localDirectory,
                                  brix::MessageDisplay* display, const Level& level)
{
    mFileShare.reset(new brix::FileShare(server, REMOTE_DIRECTORY, localDirectory));
    mServer = server;
    mLevel = &level;
    // A level the game would refuse is not fetched.
    mFileShare->setMaxFileSize(Level::MAX_FILE_SIZE);
    mDisplay = display;
}

void FileShareBrowser::setPage(unsigned int page)
{
    ListBrowser::setPage(page);
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

const brix::FileShare::FileInfo& FileShareBrowser::getEntry(unsigned int row) const
{
    return mEntries.at(getEntryIndex(row));
}

std::string FileShareBrowser::getItemTitle(unsigned int row)
{
    const brix::FileShare::FileInfo& entry = getEntry(row);
    Ogre::String base, extension;
    Ogre::StringUtil::splitBaseFilename(entry.name, base, extension);
    std::string title = brix::PeerText::forColumn(base, brix::FileShare::MAX_NAME_LENGTH) + "|" +
                        brix::PeerText::forColumn(entry.title, Level::MAX_TITLE_SIZE) + "|";
    if (entry.flags & FLAG_SINGLE_PLAYER)
        title += "S";
    if (entry.flags & FLAG_MULTIPLAYER)
        title += "M";
    return title;
}

std::string FileShareBrowser::getItemDescription(unsigned int row)
{
    const brix::FileShare::FileInfo& entry = getEntry(row);
    std::string description = "By '" + entry.author + "'" + ", updated " +
                              brix::StringUtil::timeStampToString(static_cast<int64_t>(entry.time), true);
    if (entry.flags & FLAG_SINGLE_PLAYER)
        description += ", single player";
    if (entry.flags & FLAG_MULTIPLAYER)
        description += ", multiplayer";
    return description;
}

void FileShareBrowser::refresh()
{
    settle();
    if (!mFileShare || !mFileShare->refresh())
        return;
    mOperation = OPERATION_LISTING;
    mOperationFile.clear();
    mListState = STATE_REFRESHING;
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

bool FileShareBrowser::upload(const std::string& file, const std::string& password)
{
    settle();
    if (!mFileShare || !mFileShare->upload(file, password))
        return false;
    mOperation = OPERATION_UPLOAD;
    mOperationFile = file;
    return true;
}

bool FileShareBrowser::download(const std::string& file)
{
    if (mAlteredNames.count(file))
    {
        message("File '" + file + "' download refused (its name on the share is not plain text)");
        return false;
    }
    const std::string extension = Level::FILE_EXTENSION;
    if (file.size() <= extension.size() || !Ogre::StringUtil::endsWith(file, extension, false))
    {
        message("File '" + brix::PeerText::clean(file, brix::FileShare::MAX_NAME_LENGTH) +
                "' download refused (a level's file name ends in '" + extension + "')");
        return false;
    }
    // The shipped level of that name would hide the download: it would never be listed, played
    // or deleted.
    const std::string name = file.substr(0, file.size() - extension.size());
    if (mLevel && (mLevel->getLevelCache()->getFlags(name) & LevelCache::FLAG_BUILTIN))
    {
        message("File '" + file + "' download refused (a level that comes with the game has that name)");
        return false;
    }
    settle();
    if (!mFileShare || !mFileShare->download(file))
        return false;
    mOperation = OPERATION_DOWNLOAD;
    mOperationFile = file;
    return true;
}

void FileShareBrowser::update()
{
    if (mOperation != OPERATION_NONE && !mFileShare->isBusy())
        settle();
}

void FileShareBrowser::settle()
{
    if (mOperation == OPERATION_NONE)
        return;
    const brix::FileShare::Result result = mFileShare->getResult();
    const Operation operation = mOperation;
    mOperation = OPERATION_NONE;
    const bool success = result == brix::FileShare::RESULT_SUCCESS;
    switch (operation)
    {
    case OPERATION_LISTING:
        mEntries.clear();
        if (success)
        {
            takeListing();
            fillList();
            mListState = STATE_READY;
        }
        else
        {
            message("Shared file listing failed (" + describe(result) + ")");
            mListState = STATE_FAILED;
        }
        setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
        break;
    case OPERATION_UPLOAD:
        if (!success)
            message("File '" + mOperationFile + "' upload failed (" + describe(result) + ")");
        else if (mTransferListener)
            mTransferListener->onUploadComplete(mOperationFile);
        break;
    case OPERATION_DOWNLOAD:
        finishDownload(result);
        break;
    case OPERATION_NONE:
        break;
    }
}

void FileShareBrowser::finishDownload(brix::FileShare::Result result)
{
    const std::string downloaded = mFileShare->getDownloadPath(mOperationFile);
    std::string failure;
    const std::string local = mFileShare->getLocalPath(mOperationFile);
    if (result != brix::FileShare::RESULT_SUCCESS)
        failure = describe(result);
    else
    {
        brix::XMLElement root("");
        std::string error;
        bool overLimit = false;
        if (!mLevel->loadPlayableTree(downloaded, root, error, &overLimit))
        {
            brix::Log::error("Shared level '%s' refused: %s", mOperationFile.c_str(),
                             brix::PeerText::forLog(error).c_str());
            const std::string cause = brix::PeerText::clean(error, MAX_CAUSE_SIZE);
            failure = overLimit ? "level too large for the game: " + cause
                                : "not a level the game can play: " + cause;
        }
        else if (!brix::File::renameFile(downloaded, local))
            failure = "the level could not be stored";
    }
    if (failure.empty())
    {
        Level::deleteMapFiles(local);
        if (mTransferListener)
            mTransferListener->onDownloadComplete(mOperationFile);
        return;
    }
    if (brix::File::fileExists(downloaded))
        brix::File::deleteFile(downloaded);
    message("File '" + mOperationFile + "' download failed (" + failure + ")");
}

void FileShareBrowser::setFilter(const std::string& title, const std::string& author, unsigned int value,
                                 unsigned int mask)
{
    mFilterTitle = title;
    mFilterAuthor = author;
    mFilterValue = value;
    mFilterMask = mask;
    mEntries.clear();
    fillList();
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

void FileShareBrowser::takeListing()
{
    mListing.clear();
    mAlteredNames.clear();
    mFileShare->getFileList(mListing);
    std::set<std::string> plainNames;
    for (brix::FileShare::FileInfo& entry : mListing)
    {
        const std::string name = brix::PeerText::clean(entry.name, brix::FileShare::MAX_NAME_LENGTH);
        (name == entry.name ? plainNames : mAlteredNames).insert(name);
        entry.name = name;
        entry.title = brix::PeerText::clean(entry.title, Level::MAX_TITLE_SIZE);
        entry.author = brix::PeerText::clean(entry.author, Level::MAX_TITLE_SIZE);
    }
    for (const std::string& name : plainNames)
        mAlteredNames.erase(name);
}

void FileShareBrowser::fillList()
{
    for (const brix::FileShare::FileInfo& entry : mListing)
        if (brix::FileShare::matches(entry, "", mFilterTitle, mFilterAuthor, mFilterValue, mFilterMask))
            mEntries.push_back(entry);
}

std::string FileShareBrowser::describe(brix::FileShare::Result result) const
{
    if (result == brix::FileShare::RESULT_CONNECTION_FAILED)
    {
        const std::string refusal = mFileShare->getRefusal();
        if (refusal.empty())
            return getResultText(result) + ": no file share answered at " + mServer;
        return getResultText(result) + ": the file share at " + mServer +
               " refused: " + brix::PeerText::clean(refusal, MAX_CAUSE_SIZE);
    }
    if (result == brix::FileShare::RESULT_FILE_TOO_LARGE)
        return "larger than the " + std::to_string(Level::MAX_FILE_SIZE) + " bytes a level may have";
    return getResultText(result);
}

std::string FileShareBrowser::getResultText(brix::FileShare::Result result)
{
    switch (static_cast<int>(result))
    {
    case 1:
        return "Operation successful";
    case 2:
        return "Server connection error";
    case 3:
        return "File operation error";
    case 4:
        return "File index error";
    case 5:
        return "File operation cancelled";
    case 6:
        return "File too large";
    default:
        return "Unknown error";
    }
}

void FileShareBrowser::message(const std::string& text)
{
    brix::Log::info("%s", text.c_str());
    if (mDisplay)
        mDisplay->writeMessage(text, true);
}
} // namespace game
