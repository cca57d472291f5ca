#pragma once
#include "game/application/listbrowser.h"
#include "network/fileshare.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace brix
{
class MessageDisplay;
}

namespace game
{
class Level;

// The levels players shared on the FTP file share, filtered by title, author and type, and
// the one upload or download the player asked for. The file share does one job at a time on
// its own thread; starting a job waits on the main thread for the running one, and update
// reports the job once the share is idle. Only a name ending in ".xml" is downloaded, the
// names the game looks for levels under. A downloaded level replaces the player's file of that
// name, and takes that level's light and sound maps away, only when it is a level the game
// loads and plays (Level::loadPlayableTree); otherwise it is deleted and the player's level and
// maps stay. Each outcome is told in one short line: the file, what happened and why (a limit
// with its value, a refusal with its cause, a share that turned the session down with its
// reply). The listing's names, titles and authors come from strangers:
// they are shown and logged cleaned (PeerText), a name and a title each in its own column of the row. Main
// thread only.
class FileShareBrowser : public ListBrowser
{
public:
    // The folder of the game's levels on the share.
    static const char* const REMOTE_DIRECTORY;

    class FileTransferListener
    {
    public:
        virtual void onUploadComplete(const std::string& file) = 0;
        virtual void onDownloadComplete(const std::string& file) = 0;

    protected:
        ~FileTransferListener() = default;
    };

    FileShareBrowser(unsigned int browserId, unsigned int itemsPerPage, unsigned int reserved);
    // Ends the running job of the share.
    ~FileShareBrowser() override;

    // server is "host:port"; downloads land in localDirectory and uploads are read from it.
    // Messages for the player go to the display (not owned, may be null). The level (not owned)
    // checks what is downloaded.
    void initialize(const std::string& server, const std::string& localDirectory,
                    brix::MessageDisplay* display, const Level& level);
    // Not owned; may be null.
    void setTransferListener(FileTransferListener* listener) { mTransferListener = listener; }

    void setPage(unsigned int page) override;
    std::string getItemTitle(unsigned int row) override;
    std::string getItemDescription(unsigned int row) override;
    void refresh() override;
    void update() override;

    // False when the transfer could not start (also for a name that is not a plain file name).
    bool upload(const std::string& file, const std::string& password);
    // Also false, with a message, for a name that does not end in ".xml", for the name of a
    // level that comes with the game, and for the shown name of a listed file whose name on the
    // share cleaning changed: under the shown name it would be another file, and its own would
    // make a stranger's text a level name.
    bool download(const std::string& file);
    // Shows the entries whose flags AND mask equal value and whose title and author contain
    // the texts (an empty text matches all), from the listing already fetched.
    void setFilter(const std::string& title, const std::string& author, unsigned int value,
                   unsigned int mask);
    // The entry of a row of the current page, as shown.
    const brix::FileShare::FileInfo& getEntry(unsigned int row) const;
    int getListState() const { return mListState; }

    static std::string getResultText(brix::FileShare::Result result);
    // The bytes of a refusal's cause that a message shows; the log has all of it.
    static constexpr unsigned int MAX_CAUSE_SIZE = 128;

private:
    enum Operation
    {
        OPERATION_NONE = 0,
        OPERATION_LISTING = 1,
        OPERATION_UPLOAD = 2,
        OPERATION_DOWNLOAD = 3
    };

    // Puts the file a download left in place when the level check takes it, the old level's
    // maps deleted, else deletes it and tells the player; then reports the download.
    void finishDownload(brix::FileShare::Result result);
    // Waits for the running job and reports it as update does. Called before the share starts
    // another job, which would otherwise leave a download beside the level, never taken, or a
    // listing the page waits for, never shown.
    void settle();
    // Takes the share's listing, cleaned, in place of the last one.
    void takeListing();
    void fillList();
    void message(const std::string& text);

    // What went wrong, in the words of a message.
    std::string describe(brix::FileShare::Result result) const;

    std::unique_ptr<brix::FileShare> mFileShare;
    std::string mServer;
    const Level* mLevel = nullptr;
    brix::MessageDisplay* mDisplay = nullptr;
    FileTransferListener* mTransferListener = nullptr;
    // The last listing as shown, and the entries of it the filter lets through.
    std::vector<brix::FileShare::FileInfo> mListing;
    std::vector<brix::FileShare::FileInfo> mEntries;
    // Shown names of the listing that stand for another name on the share and for none as it is.
    std::set<std::string> mAlteredNames;
    std::string mFilterTitle;
    std::string mFilterAuthor;
    unsigned int mFilterValue = 0;
    unsigned int mFilterMask = 0;
    Operation mOperation = OPERATION_NONE;
    std::string mOperationFile;
    int mListState = STATE_READY;
};
} // namespace game
