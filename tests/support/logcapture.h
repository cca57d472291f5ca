#pragma once
#include "support/tempdir.h"

#include <string>
#include <vector>

namespace test
{
// Opens brix::Log on a file of its own for the life of the object, so a test can read
// back what the code under test logged.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Each line logged since the log was opened, as its tag, a blank and its text (the
    // time stamp left out), without the log's own "X" lines.
    std::vector<std::string> lines() const;
    // The same, only the error lines ("E ...").
    std::vector<std::string> errors() const;

private:
    TempDir mDir;
};
} // namespace test
