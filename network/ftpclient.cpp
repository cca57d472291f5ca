#include "network/ftpclient.h"

#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/peertext.h"
#include "toolkit/temporaryfile.h"
#include "toolkit/thread.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace brix
{
namespace
{
// A whole reply, however it trickles in, must arrive within this time.
const unsigned int RESPONSE_TOTAL_TIMEOUT = 10000;
// A whole download or listing must arrive within this time.
const unsigned int DATA_TOTAL_TIMEOUT = 60000;
const unsigned int CODE_LENGTH = 3;

bool startsWithCode(const std::string& line)
{
    if (line.size() < CODE_LENGTH)
        return false;
    for (unsigned int i = 0; i < CODE_LENGTH; ++i)
    {
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return false;
    }
    return line.size() == CODE_LENGTH || line[CODE_LENGTH] == ' ' || line[CODE_LENGTH] == '-';
}

std::string withoutCR(const std::string& line)
{
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}
} // namespace

FTPClient::FTPClient()
    : mConnectTimeout(DEFAULT_CONNECT_TIMEOUT), mResponseTimeout(DEFAULT_RESPONSE_TIMEOUT), mLoggedIn(false)
{
}

FTPClient::~FTPClient()
{
    disconnect();
}

bool FTPClient::connect(const std::string& server, const std::string& user, const std::string& password)
{
    disconnect();
    mFileTooLarge = false;
    mResponse.clear();
    mRefusal.clear();
    NetworkAddress address(server);
    if (!address.isValid() || !mSocket.connect(address, mConnectTimeout))
        return false;
    std::string rest;
    if (!executeCommand("", "220", rest) || !executeCommand("USER " + user, "331", rest) ||
        !executeCommand("PASS " + password, "230", rest))
    {
        mSocket.close();
        return false;
    }
    mLoggedIn = true;
    return true;
}

void FTPClient::disconnect()
{
    if (mLoggedIn)
        writeCommand("QUIT");
    mLoggedIn = false;
    mSocket.close();
    mBuffer.clear();
}

bool FTPClient::changeDirectory(const std::string& directory)
{
    std::string rest;
    return executeCommand("CWD " + directory, "250", rest);
}

bool FTPClient::deleteFile(const std::string& remotePath)
{
    std::string rest;
    return executeCommand("DELE " + remotePath, "250", rest);
}

bool FTPClient::getFile(const std::string& remotePath, const std::string& localPath, unsigned int maxSize)
{
    mFileTooLarge = false;
    TCPSocket data;
    std::string rest;
    if (!openDataConnection(data) || !executeCommand("RETR " + remotePath, "150", rest))
        return false;
    std::ostringstream content;
    if (!readData(data, content, maxSize, &mFileTooLarge))
        return false;
    data.close();
    if (!executeCommand("", "226", rest))
        return false;

    TemporaryFile file(localPath);
    const std::string bytes = content.str();
    if (!file.isOpen())
    {
        Log::error("Unable to open local file '%s'", localPath.c_str());
        return false;
    }
    if (!file.write(bytes.data(), bytes.size()) || !file.commit())
    {
        Log::error("Data steam writing failed");
        return false;
    }
    return true;
}

bool FTPClient::putFile(const std::string& localPath, const std::string& remotePath)
{
    std::ifstream in(localPath, std::ios::binary);
    if (!in)
    {
        Log::error("Unable to open local file '%s'", localPath.c_str());
        return false;
    }
    TCPSocket data;
    std::string rest;
    if (!openDataConnection(data) || !executeCommand("STOR " + remotePath, "150", rest))
        return false;
    if (!writeData(data, in))
        return false;
    data.close();
    return executeCommand("", "226", rest);
}

bool FTPClient::listFiles(const std::string& pattern, std::list<std::string>& names)
{
    TCPSocket data;
    std::string rest;
    if (!openDataConnection(data) || !executeCommand("NLST " + pattern, "150", rest))
        return false;
    if (!readData(data, names))
        return false;
    data.close();
    return executeCommand("", "226", rest);
}

bool FTPClient::openDataConnection(TCPSocket& data)
{
    std::string rest;
    if (!executeCommand("TYPE I", "200", rest) || !executeCommand("PASV", "227", rest))
        return false;
    NetworkAddress offered = parsePasvAddress(rest);
    if (!offered.isValid())
        return false;
    // Only the port is taken: a server must not send our data connections elsewhere.
    NetworkAddress address(mSocket.getRemoteAddress().getAddress(), offered.getPort());
    if (offered.getAddress() != address.getAddress())
        Log::debug("Passive address %s replaced by the server's own", offered.toString().c_str());
    if (!data.connect(address, mConnectTimeout))
    {
        Log::error("Unable to open data connection to %s", address.toString().c_str());
        return false;
    }
    return true;
}

NetworkAddress FTPClient::parsePasvAddress(const std::string& text)
{
    std::size_t position = text.find('(');
    unsigned int numbers[6] = {};
    bool valid = position != std::string::npos;
    for (unsigned int i = 0; valid && i < 6; ++i)
    {
        ++position;
        std::size_t start = position;
        unsigned int value = 0;
        while (position < text.size() && position - start < 3 &&
               std::isdigit(static_cast<unsigned char>(text[position])))
            value = value * 10 + static_cast<unsigned int>(text[position++] - '0');
        char separator = i < 5 ? ',' : ')';
        valid = position > start && value <= 255 && position < text.size() && text[position] == separator;
        numbers[i] = value;
    }
    if (!valid || (numbers[4] == 0 && numbers[5] == 0))
    {
        Log::error("Unable to parse address from PASV response '%s'", PeerText::forLog(text).c_str());
        return NetworkAddress();
    }
    unsigned int address = numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3];
    return NetworkAddress(address, static_cast<unsigned short>(numbers[4] * 256 + numbers[5]));
}

bool FTPClient::executeCommand(const std::string& command, const std::string& expectedCode, std::string& rest)
{
    mResponse.clear();
    mRefusal.clear();
    Log::debug("Executing command '%s'", PeerText::forLog(command).c_str());
    if (!command.empty() && !writeCommand(command))
    {
        Log::error("FTP command writing failed");
        return false;
    }
    std::string code;
    if (!readResponse(code, rest))
    {
        Log::error("FTP command response reading failed");
        return false;
    }
    Log::debug("Received response '%s'", PeerText::forLog(mResponse).c_str());
    if (code != expectedCode)
    {
        mRefusal = rest.empty() ? code : code + " " + rest;
        Log::error("Unexpected response '%s' from FTP server", PeerText::forLog(mResponse).c_str());
        return false;
    }
    return true;
}

bool FTPClient::writeCommand(const std::string& command)
{
    // A line break inside a name would smuggle in a second command.
    if (command.find_first_of("\r\n") != std::string::npos)
    {
        Log::error("Refusing FTP command with a line break");
        return false;
    }
    std::string line = command + "\r\n";
    return mSocket.transmit(reinterpret_cast<const unsigned char*>(line.data()), line.size());
}

int FTPClient::takeResponse(std::string& buffer, std::string& code, std::string& text, std::string& whole)
{
    std::size_t end = buffer.find('\n');
    if (end == std::string::npos)
        return buffer.size() > MAX_RESPONSE_SIZE ? -1 : 0;
    std::string first = withoutCR(buffer.substr(0, end));
    if (!startsWithCode(first))
    {
        whole = first;
        return -1;
    }
    std::string lastLine = first;
    if (first.size() > CODE_LENGTH && first[CODE_LENGTH] == '-')
    {
        // A multi-line reply ends at a line that starts with the same code and a blank.
        const std::string closing = first.substr(0, CODE_LENGTH) + " ";
        for (;;)
        {
            std::size_t next = buffer.find('\n', end + 1);
            if (next == std::string::npos)
                return buffer.size() > MAX_RESPONSE_SIZE ? -1 : 0;
            lastLine = withoutCR(buffer.substr(end + 1, next - end - 1));
            end = next;
            if (lastLine.compare(0, closing.size(), closing) == 0)
                break;
        }
    }
    if (end + 1 > MAX_RESPONSE_SIZE)
        return -1;
    whole = withoutCR(buffer.substr(0, end));
    buffer.erase(0, end + 1);
    code = first.substr(0, CODE_LENGTH);
    text = lastLine.size() > CODE_LENGTH ? lastLine.substr(CODE_LENGTH + 1) : std::string();
    return 1;
}

bool FTPClient::readResponse(std::string& code, std::string& rest)
{
    unsigned int start = Thread::timer();
    for (;;)
    {
        int taken = takeResponse(mBuffer, code, rest, mResponse);
        if (taken > 0)
            return true;
        if (taken < 0)
        {
            Log::error("Invalid response '%s' from FTP server",
                       PeerText::forLog(mResponse.substr(0, 256)).c_str());
            mBuffer.clear();
            return false;
        }
        if (Thread::timer() - start > RESPONSE_TOTAL_TIMEOUT)
        {
            Log::error("Response wait timeout");
            return false;
        }
        unsigned char piece[CONTROL_PIECE_SIZE];
        unsigned int length = 0;
        if (!mSocket.receive(piece, sizeof(piece), length))
            return false;
        if (length > 0)
        {
            mBuffer.append(reinterpret_cast<const char*>(piece), length);
            continue;
        }
        if (!mSocket.isConnected())
        {
            Log::error("Connection unexpectedly closed by server");
            return false;
        }
        if (!mSocket.wait(mResponseTimeout))
        {
            Log::error("Response wait timeout");
            return false;
        }
    }
}

bool FTPClient::readData(TCPSocket& socket, std::ostream& out, unsigned int maxSize, bool* exceeded)
{
    std::string content;
    bool over = false;
    if (!socket.receiveAll(content, maxSize, mResponseTimeout, DATA_TOTAL_TIMEOUT, &over))
    {
        if (over)
            Log::error("Data of more than %u bytes refused", maxSize);
        else
            Log::error("Data socket read timeout");
        if (exceeded)
            *exceeded = over;
        return false;
    }
    if (!out.write(content.data(), static_cast<std::streamsize>(content.size())))
    {
        Log::error("Data steam writing failed");
        return false;
    }
    return true;
}

bool FTPClient::readData(TCPSocket& socket, std::list<std::string>& lines)
{
    std::ostringstream content;
    if (!readData(socket, content, MAX_LIST_SIZE))
        return false;
    std::istringstream in(content.str());
    std::string line;
    while (std::getline(in, line))
    {
        line = withoutCR(line);
        if (!line.empty())
            lines.push_back(line);
    }
    return true;
}

bool FTPClient::writeData(TCPSocket& socket, std::istream& in)
{
    char piece[DATA_PIECE_SIZE];
    while (in)
    {
        in.read(piece, sizeof(piece));
        std::streamsize length = in.gcount();
        if (in.bad())
        {
            Log::error("Data steam reading failed");
            return false;
        }
        if (length > 0 && !socket.transmit(reinterpret_cast<const unsigned char*>(piece),
                                           static_cast<unsigned int>(length)))
        {
            Log::error("Data socket transmit failed");
            return false;
        }
    }
    return true;
}
} // namespace brix
