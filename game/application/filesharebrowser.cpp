#include "game/application/filesharebrowser.h"

#include "engine/presentation/messagedisplay.h"
#include "game/level/level.h"
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
                                  brix::MessageDisplay* display)
{
    mFileShare.reset(new brix::FileShare(server, REMOTE_DIRECTORY, localDirectory));
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
    settleDownload();
    if (!mFileShare || !mFileShare->refresh())
        return;
    mOperation = OPERATION_LISTING;
    mOperationFile.clear();
    mListState = STATE_REFRESHING;
    setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
}

bool FileShareBrowser::upload(const std::string& file, const std::string& password)
{
    settleDownload();
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
    settleDownload();
    if (!mFileShare || !mFileShare->download(file))
        return false;
    mOperation = OPERATION_DOWNLOAD;
    mOperationFile = file;
    return true;
}

void FileShareBrowser::update()
{
    if (mOperation == OPERATION_NONE || mFileShare->isBusy())
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
            message("Shared file listing failed (" + getResultText(result) + ")");
            mListState = STATE_FAILED;
        }
        setItemCount(static_cast<unsigned int>(mEntries.size()), mListState);
        break;
    case OPERATION_UPLOAD:
        if (!success)
            message("File '" + mOperationFile + "' upload failed (" + getResultText(result) + ")");
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
    if (result != brix::FileShare::RESULT_SUCCESS)
        failure = getResultText(result);
    else
    {
        brix::XMLElement root("");
        std::string error;
        bool overLimit = false;
        if (!Level::loadTree(downloaded, root, error, &overLimit))
        {
            brix::Log::error("Shared level '%s' refused: %s", mOperationFile.c_str(),
                             brix::PeerText::forLog(error).c_str());
            failure = overLimit ? "level too large for the game: " + brix::PeerText::forLog(error)
                                : "not a level the game can read";
        }
        else if (!brix::File::renameFile(downloaded, mFileShare->getLocalPath(mOperationFile)))
            failure = "the level could not be stored";
    }
    if (failure.empty())
    {
        if (mTransferListener)
            mTransferListener->onDownloadComplete(mOperationFile);
        return;
    }
    if (brix::File::fileExists(downloaded))
        brix::File::deleteFile(downloaded);
    message("File '" + mOperationFile + "' download failed (" + failure + ")");
}

void FileShareBrowser::settleDownload()
{
    if (mOperation != OPERATION_DOWNLOAD)
        return;
    mOperation = OPERATION_NONE;
    finishDownload(mFileShare->getResult());
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
