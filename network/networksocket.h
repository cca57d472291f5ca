#pragma once

namespace brix
{
class NetworkAddress;

// The operations the UDP and TCP sockets share. Nothing throws: failures are logged and
// answered with false.
class NetworkSocket
{
public:
    // Longest system error text put into a log line.
    static constexpr unsigned int MAX_ERROR_TEXT = 256;

    NetworkSocket();
    virtual ~NetworkSocket();
    NetworkSocket(const NetworkSocket&) = delete;
    NetworkSocket& operator=(const NetworkSocket&) = delete;

    virtual bool transmit(const unsigned char* data, unsigned int length, const NetworkAddress& to) = 0;
    virtual bool transmit(const unsigned char* data, unsigned int length) = 0;
    virtual bool receive(unsigned char* buffer, unsigned int size, unsigned int& length) = 0;
    // True when data can be read.
    virtual bool wait(unsigned int milliseconds) = 0;
    // Logs "text: system message (code)".
    virtual void logSocketError(const char* text, int code);
    // The same with the calling thread's last socket error.
    virtual void logSocketError(const char* text);

protected:
    static constexpr int INVALID_HANDLE = -1;

    static void closeHandle(int& handle);
    static bool setNonBlocking(int handle);
    static bool wouldBlock(int code);
    // Waits on one handle for reading or writing; 0 ms polls unless waitForever. An error
    // or hang-up counts as ready, so the following call reports it.
    // Returns 1 when ready, 0 on time-out, -1 on error (errno set).
    static int selectHandle(int handle, bool forWriting, unsigned int milliseconds, bool waitForever);
};
} // namespace brix
