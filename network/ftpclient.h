#pragma once
#include "network/networkaddress.h"
#include "network/tcpsocket.h"

#include <istream>
#include <list>
#include <ostream>
#include <string>

namespace brix
{
// A small blocking passive-mode FTP client, used by the level file share on its own thread.
// Replies are read line by line through a buffer that keeps whatever the server sent ahead,
// so a completion that arrives together with its preliminary reply is not lost; multi-line
// replies ("220-" ... "220 ") count as one. Data connections go only to the control
// connection's server, whatever address a passive reply names.
class FTPClient
{
public:
    static constexpr unsigned int DEFAULT_CONNECT_TIMEOUT = 5000;
    static constexpr unsigned int DEFAULT_RESPONSE_TIMEOUT = 1000;
    // Bytes asked for per control read, and per data read and write.
    static constexpr unsigned int CONTROL_PIECE_SIZE = 256;
    static constexpr unsigned int DATA_PIECE_SIZE = 1024;
    // A reply longer than this (all its lines) is refused, so a babbling server cannot stall us.
    static constexpr unsigned int MAX_RESPONSE_SIZE = 16384;
    // The most bytes one download or listing takes before it is abandoned.
    static constexpr unsigned int MAX_DOWNLOAD_SIZE = 16 * 1024 * 1024;
    static constexpr unsigned int MAX_LIST_SIZE = 1024 * 1024;

    FTPClient();
    virtual ~FTPClient();

    // server is "host:port"; logs in with user and password. Every connect starts a job
    // afresh: what the last one left (isFileTooLarge, getRefusal) is forgotten.
    bool connect(const std::string& server, const std::string& user, const std::string& password);
    void disconnect();

    bool changeDirectory(const std::string& directory);
    bool putFile(const std::string& localPath, const std::string& remotePath);
    // Writes to a temporary file that replaces localPath only once the server confirms the
    // transfer; on failure an existing local file is left as it was. A file of more than
    // maxSize bytes fails.
    bool getFile(const std::string& remotePath, const std::string& localPath,
                 unsigned int maxSize = MAX_DOWNLOAD_SIZE);
    // True when the last getFile failed for a file of more than its maxSize bytes.
    bool isFileTooLarge() const { return mFileTooLarge; }
    bool deleteFile(const std::string& remotePath);
    bool listFiles(const std::string& pattern, std::list<std::string>& names);

    // The text of the last reply read from the server.
    const std::string& getLastError() const { return mResponse; }
    // The code and text of the reply with which the server turned down the last command (a
    // busy greeting, a refused login); empty when the last command failed without an FTP reply
    // or succeeded.
    const std::string& getRefusal() const { return mRefusal; }

    // The address from a 227 reply "... (h1,h2,h3,h4,p1,p2)": each number 0 to 255. Invalid
    // when the text does not hold one.
    static NetworkAddress parsePasvAddress(const std::string& text);
    // Takes one whole reply off the front of buffer: its code and the text after the code of
    // its last line. 1 when a reply was taken, 0 when more data is needed, -1 when the buffer
    // can hold no valid reply.
    static int takeResponse(std::string& buffer, std::string& code, std::string& text, std::string& whole);

private:
    bool executeCommand(const std::string& command, const std::string& expectedCode, std::string& rest);
    bool writeCommand(const std::string& command);
    bool readResponse(std::string& code, std::string& rest);
    bool openDataConnection(TCPSocket& data);
    bool readData(TCPSocket& socket, std::ostream& out, unsigned int maxSize, bool* exceeded = nullptr);
    bool readData(TCPSocket& socket, std::list<std::string>& lines);
    bool writeData(TCPSocket& socket, std::istream& in);

    TCPSocket mSocket;
    std::string mResponse;
    unsigned int mConnectTimeout;
    unsigned int mResponseTimeout;
    bool mLoggedIn;
    bool mFileTooLarge = false;
    std::string mRefusal;
    // Control-connection bytes received but not yet taken as replies.
    std::string mBuffer;
};
} // namespace brix
