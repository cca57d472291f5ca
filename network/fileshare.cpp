#include "network/fileshare.h"

#include "toolkit/log.h"
#include "toolkit/peertext.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace brix
{
namespace
{
const unsigned int INDEX_TOKENS = 5;

// Reads one token at position; false with position at the fault.
bool readToken(const std::string& line, std::size_t& position, std::string& token)
{
    token.clear();
    if (position < line.size() && line[position] == '"')
    {
        for (++position; position < line.size(); ++position)
        {
            if (line[position] != '"')
            {
                token += line[position];
                continue;
            }
            if (position + 1 < line.size() && line[position + 1] == '"')
            {
                token += '"';
                ++position;
                continue;
            }
            ++position;
            return position == line.size() || line[position] == ' ';
        }
        return false;
    }
    while (position < line.size() && line[position] != ' ')
    {
        if (line[position] == '"')
        {
            if (position + 1 >= line.size() || line[position + 1] != '"')
                return false;
            ++position;
        }
        token += line[position++];
    }
    return true;
}

unsigned int toUnsigned(const std::string& token)
{
    unsigned long long value = 0;
    for (char c : token)
    {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        value = value * 10 + static_cast<unsigned int>(c - '0');
        if (value > 0xFFFFFFFFull)
            return 0xFFFFFFFFu;
    }
    return static_cast<unsigned int>(value);
}
} // namespace

FileShare::FileShare(const std::string& server, const std::string& remoteDirectory,
                     const std::string& localDirectory)
    : mServer(server), mRemoteDirectory(remoteDirectory), mLocalDirectory(localDirectory), mJob(JOB_IDLE),
      mResult(RESULT_NONE)
{
}

FileShare::~FileShare()
{
    mThread.wait();
}

bool FileShare::refresh()
{
    return download(INDEX_FILE);
}

bool FileShare::download(const std::string& name)
{
    return startJob(JOB_DOWNLOAD, name, name);
}

bool FileShare::upload(const std::string& name, const std::string& suffix)
{
    if (suffix.find_first_of("/\\\r\n") != std::string::npos)
    {
        Log::error("Invalid file share upload suffix");
        return false;
    }
    // The server splits "<name>#<suffix>" at the first '#': a '#' in the name would file the
    // level under a shorter name.
    if (name.find('#') != std::string::npos)
    {
        Log::error("Refusing file share upload name '%s'", name.substr(0, MAX_NAME_LENGTH).c_str());
        return false;
    }
    return startJob(JOB_UPLOAD, name, suffix.empty() ? name : name + "#" + suffix);
}

bool FileShare::startJob(Job job, const std::string& fileName, const std::string& remoteName)
{
    mThread.wait();
    if (!isPlainFileName(fileName))
    {
        Log::error("Refusing file share name '%s'",
                   PeerText::forLog(fileName.substr(0, MAX_NAME_LENGTH)).c_str());
        return false;
    }
    mMutex.lock();
    mJob = job;
    mResult = RESULT_NONE;
    mRefusal.clear();
    mFileName = fileName;
    mRemoteName = remoteName;
    mMutex.unlock();
    if (mThread.start(this))
        return true;
    mMutex.lock();
    mJob = JOB_IDLE;
    mMutex.unlock();
    return false;
}

bool FileShare::isBusy()
{
    mMutex.lock();
    bool busy = mJob != JOB_IDLE;
    mMutex.unlock();
    return busy;
}

FileShare::Result FileShare::getResult()
{
    mThread.wait();
    mMutex.lock();
    Result result = mResult;
    mMutex.unlock();
    return result;
}

std::string FileShare::getRefusal()
{
    mThread.wait();
    mMutex.lock();
    std::string refusal = mRefusal;
    mMutex.unlock();
    return refusal;
}

void FileShare::getFileList(std::vector<FileInfo>& files)
{
    mMutex.lock();
    files = mFiles;
    mMutex.unlock();
}

void FileShare::getFileList(const std::string& name, const std::string& title, const std::string& author,
                            unsigned int value, unsigned int mask, std::vector<FileInfo>& files)
{
    mMutex.lock();
    for (const FileInfo& info : mFiles)
        if (matches(info, name, title, author, value, mask))
            files.push_back(info);
    mMutex.unlock();
}

bool FileShare::matches(const FileInfo& info, const std::string& name, const std::string& title,
                        const std::string& author, unsigned int value, unsigned int mask)
{
    return (info.flags & mask) == value && containsIgnoringCase(info.name, name) &&
           containsIgnoringCase(info.title, title) && containsIgnoringCase(info.author, author);
}

bool FileShare::containsIgnoringCase(const std::string& text, const std::string& part)
{
    Log::debug("Search '%s' in '%s'", PeerText::forLog(part).c_str(), PeerText::forLog(text).c_str());
    if (part.empty())
        return true;
    auto lower = [](std::string s)
    {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return lower(text).find(lower(part)) != std::string::npos;
}

void FileShare::execute()
{
    mMutex.lock();
    Job job = mJob;
    mMutex.unlock();
    Log::debug("File share thread starting (%d, '%s')", job, PeerText::forLog(mFileName).c_str());
    Result result = RESULT_SUCCESS;
    std::string refusal;
    const bool index = job == JOB_DOWNLOAD && mFileName == INDEX_FILE;
    const std::string localPath = getLocalPath(mFileName);

    if (!mClient.connect(mServer, "ftp", ""))
    {
        result = RESULT_CONNECTION_FAILED;
        refusal = mClient.getRefusal();
    }
    else if (job == JOB_DOWNLOAD)
    {
        const unsigned int maxSize = index ? FTPClient::MAX_DOWNLOAD_SIZE : mMaxFileSize;
        if (!mClient.changeDirectory(mRemoteDirectory) ||
            !mClient.getFile(mRemoteName, index ? localPath : getDownloadPath(mFileName), maxSize))
            result = mClient.isFileTooLarge() && !index ? RESULT_FILE_TOO_LARGE : RESULT_TRANSFER_FAILED;
        else
            Log::debug("File '%s' downloaded", PeerText::forLog(mFileName).c_str());
    }
    else if (job == JOB_UPLOAD)
    {
        if (!mClient.changeDirectory(mRemoteDirectory) ||
            !mClient.putFile(localPath, std::string(UPLOAD_DIRECTORY) + mRemoteName))
            result = RESULT_TRANSFER_FAILED;
        else
            Log::debug("File '%s' uploaded", mFileName.c_str());
    }
    mClient.disconnect();

    if (index && result == RESULT_SUCCESS)
    {
        std::vector<FileInfo> files;
        if (parseIndexFile(localPath, files))
        {
            mMutex.lock();
            mFiles.swap(files);
            mMutex.unlock();
        }
        else
            result = RESULT_INDEX_FAILED;
    }
    mMutex.lock();
    mJob = JOB_IDLE;
    mResult = result;
    mRefusal = refusal;
    mMutex.unlock();
}

bool FileShare::isPlainFileName(const std::string& name)
{
    if (name.empty() || name.size() > MAX_NAME_LENGTH || name == "." || name.find("..") != std::string::npos)
        return false;
    for (char c : name)
    {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

bool FileShare::parseIndexFile(const std::string& path, std::vector<FileInfo>& files)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        Log::error("File share index file '%s' opening failed", path.c_str());
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
    {
        Log::error("File share index file '%s' reading failed", path.c_str());
        return false;
    }
    return parseIndex(text.str(), path, files);
}

bool FileShare::parseIndex(const std::string& text, const std::string& name, std::vector<FileInfo>& files)
{
    std::vector<FileInfo> parsed;
    std::istringstream in(text);
    std::string line;
    int lineNumber = -1;
    while (std::getline(in, line))
    {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::string tokens[INDEX_TOKENS];
        std::size_t position = 0;
        for (unsigned int i = 0; i < INDEX_TOKENS; ++i)
        {
            bool separated = i == 0 || (position < line.size() && line[position++] == ' ');
            if (!separated || !readToken(line, position, tokens[i]))
            {
                Log::error("File share index file '%s' parsing failed (on line %d column %d)", name.c_str(),
                           lineNumber, static_cast<int>(position));
                return false;
            }
        }
        if (!isPlainFileName(tokens[0]))
        {
            Log::error("File share index file '%s' names an unsafe file on line %d, entry skipped",
                       name.c_str(), lineNumber);
            continue;
        }
        FileInfo info;
        info.name = tokens[0];
        info.title = tokens[1];
        info.author = tokens[2];
        info.flags = toUnsigned(tokens[3]);
        info.time = toUnsigned(tokens[4]);
        parsed.push_back(info);
    }
    files.swap(parsed);
    Log::debug("Parsed file share index '%s' with %d files", name.c_str(), static_cast<int>(files.size()));
    return true;
}
} // namespace brix
