#pragma once
#include "support/tempdir.h"

#include <string>

namespace test
{
// An X server (Xvfb) of this process's own while the object lives: DISPLAY names it, and names
// what it named before once the object dies. A game under test on it is out of reach of what
// other tests do with the pointer and the focus of the run's shared server. Throws
// std::runtime_error, with the server's output, when it does not start within 30 s.
class XServer
{
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

private:
    void stop();

    TempDir mDir;
    int mPid = -1;
    bool mHadDisplay = false;
    std::string mPreviousDisplay;
};
} // namespace test
