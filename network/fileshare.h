#pragma once
#include "network/ftpclient.h"
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <string>
#include <vector>

namespace brix
{
// The shared-level browser's connection to the FTP level share: one job at a time (refresh the
// list from the server's "index", download a level, upload a level into "upload/") on a
// thread of its own. The caller polls isBusy once per update, then reads the result. A level
// is downloaded beside the local one, never over it: the caller checks it and puts it in place.
//
// Index file: one shared file per line, five tokens separated by single blanks: file name,
// title, author, flags (bit 0 single player, bit 1 multiplayer) and upload time. A token may
// be quoted, with "" standing for one quote inside; an unquoted token may hold "" too, but no
// single quote.
class FileShare : public Task
{
public:
    struct FileInfo
    {
        std::string name;
        std::string title;
        std::string author;
        unsigned int flags = 0;
        unsigned int time = 0;
    };

    enum Result
    {
        RESULT_NONE = 0,
        RESULT_SUCCESS = 1,
        RESULT_CONNECTION_FAILED = 2,
        RESULT_TRANSFER_FAILED = 3,
        RESULT_INDEX_FAILED = 4,
        // A shared file larger than the set maximum (setMaxFileSize); nothing of it is written.
        RESULT_FILE_TOO_LARGE = 6
    };

    static constexpr const char* INDEX_FILE = "index";
    static constexpr const char* UPLOAD_DIRECTORY = "upload/";
    // File names longer than this, from the index or the caller, are refused.
    static constexpr unsigned int MAX_NAME_LENGTH = 128;
    // A download of any file but the index is written under its local path with this suffix
    // added, a name no listing of the local files by their own suffix takes.
    static constexpr const char* DOWNLOAD_SUFFIX = ".download";

    // server is "host:port"; localDirectory is where downloads land and uploads are read.
    FileShare(const std::string& server, const std::string& remoteDirectory,
              const std::string& localDirectory);
    // Waits for a running job.
    ~FileShare() override;

    // Each waits for a running job first; false when the job could not start (also for a
    // name that is not a plain file name).
    bool refresh();
    bool download(const std::string& name);
    // Stored on the server as "upload/<name>#<suffix>" (without "#" for an empty suffix); a
    // name holding '#' is refused.
    bool upload(const std::string& name, const std::string& suffix);

    // Shared files (not the index) larger than this many bytes are refused and not written
    // (RESULT_FILE_TOO_LARGE); FTPClient::MAX_DOWNLOAD_SIZE until set. Set it between jobs.
    void setMaxFileSize(unsigned int bytes) { mMaxFileSize = bytes; }

    // Where the file of that name lives locally (uploads read it), and where a download of it
    // is written; the caller renames the download over the file or deletes it.
    std::string getLocalPath(const std::string& name) const { return mLocalDirectory + "/" + name; }
    std::string getDownloadPath(const std::string& name) const
    {
        return getLocalPath(name) + DOWNLOAD_SUFFIX;
    }

    bool isBusy();
    // Waits for the job to end.
    Result getResult();
    // The reply with which the share turned down the last job's connection or login (code and
    // text, as the server sent them); empty when it did not or no share answered. Waits for the
    // job to end.
    std::string getRefusal();
    void getFileList(std::vector<FileInfo>& files);
    // Appends the entries that match the filter (see matches).
    void getFileList(const std::string& name, const std::string& title, const std::string& author,
                     unsigned int value, unsigned int mask, std::vector<FileInfo>& files);
    // True when the entry's flags AND mask equal value and its name, title and author contain the
    // given texts, ignoring case; an empty text matches everything.
    static bool matches(const FileInfo& info, const std::string& name, const std::string& title,
                        const std::string& author, unsigned int value, unsigned int mask);

    void execute() override;

    // True for a name that may be used as a local file name: no path separators, no "..",
    // no control characters, not empty and not too long.
    static bool isPlainFileName(const std::string& name);
    // Reads an index file; entries whose file name is not plain are left out. False (and
    // files untouched) on a fault.
    static bool parseIndexFile(const std::string& path, std::vector<FileInfo>& files);
    // The same for index text already in memory; name is used in the log lines.
    static bool parseIndex(const std::string& text, const std::string& name, std::vector<FileInfo>& files);

private:
    enum Job
    {
        JOB_IDLE = 0,
        JOB_DOWNLOAD = 1,
        JOB_UPLOAD = 2
    };

    bool startJob(Job job, const std::string& fileName, const std::string& remoteName);
    static bool containsIgnoringCase(const std::string& text, const std::string& part);

    std::string mServer;
    std::string mRemoteDirectory;
    std::string mLocalDirectory;
    Thread mThread;
    Mutex mMutex;
    FTPClient mClient;
    Job mJob;
    Result mResult;
    std::string mRefusal;
    std::vector<FileInfo> mFiles;
    std::string mFileName;
    std::string mRemoteName;
    unsigned int mMaxFileSize = FTPClient::MAX_DOWNLOAD_SIZE;
};
} // namespace brix
