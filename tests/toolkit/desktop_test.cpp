#include "toolkit/desktop.h"
#include "toolkit/thread.h"

#include "support/logcapture.h"
#include "support/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using testing::ElementsAre;

namespace
{
// Puts a stand-in xdg-open first on PATH that appends its arguments, one per line and a
// blank line after each call, to a file.
class WebBrowserTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* path = std::getenv("PATH");
        mSavedPath = path ? path : "";
        std::string script = mDir.file("xdg-open");
        test::writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + mCalls +
                                    "'\necho >> '" + mCalls + "'\n");
        chmod(script.c_str(), 0755);
        setenv("PATH", (mDir.path() + ":" + mSavedPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", mSavedPath.c_str(), 1); }

    // The stand-in's record once it holds one finished call, or what it has after 5 s.
    std::string waitForCall()
    {
        for (int i = 0; i < 500; ++i)
        {
            std::string calls = test::readFile(mCalls);
            if (calls.size() >= 2 && calls.compare(calls.size() - 2, 2, "\n\n") == 0)
                return calls;
            brix::Thread::sleep(10);
        }
        return test::readFile(mCalls);
    }

    test::TempDir mDir;
    std::string mCalls = mDir.file("calls");
    std::string mSavedPath;
    test::LogCapture mLog;
};
} // namespace

TEST(ErrorPopUp, WritesCaptionAndTextToStderrAndTheLog)
{
    test::LogCapture log;
    testing::internal::CaptureStderr();
    brix::showErrorPopUp("Application error (std::exception)", "Korvane");
    brix::showErrorPopUp(nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Korvane: Application error (std::exception)\n: \n");
    EXPECT_THAT(log.lines(), ElementsAre("E Korvane: Application error (std::exception)", "E : "));
}

TEST_F(WebBrowserTest, PassesTheAddressAsOneArgumentWithoutAShell)
{
    std::string marker = mDir.file("shell-ran");
    std::string address = "https://example.org/?a=1;touch " + marker + "&b=$(touch " + marker + ")";
    brix::launchWebBrowser(address.c_str());
    EXPECT_EQ(waitForCall(), address + "\n\n");
    struct stat status;
    EXPECT_NE(stat(marker.c_str(), &status), 0);
    EXPECT_TRUE(mLog.lines().empty());
}

TEST_F(WebBrowserTest, OpensOnlyHttpAndHttpsAddresses)
{
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "--help", "", "httpx://a"})
        brix::launchWebBrowser(refused);
    brix::launchWebBrowser(nullptr);
    brix::launchWebBrowser("HTTP://korvane.example/update");
    EXPECT_EQ(waitForCall(), "HTTP://korvane.example/update\n\n");
    auto lines = mLog.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "E Refusing to open 'file:///etc/passwd': only http and https addresses are opened");
}

TEST_F(WebBrowserTest, LogsWhenNoHandlerCanBeStarted)
{
    setenv("PATH", mDir.file("empty").c_str(), 1);
    brix::launchWebBrowser("https://korvane.example/");
    EXPECT_THAT(
        mLog.lines(),
        ElementsAre("E Unable to open web page 'https://korvane.example/': No such file or directory"));
}
