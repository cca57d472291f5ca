#include "support/logcapture.h"

#include "toolkit/log.h"

#include <sstream>
#include <stdexcept>

namespace test
{
LogCapture::LogCapture()
{
    if (!brix::Log::open(mDir.file("application.log").c_str(), false))
        throw std::runtime_error("cannot open the log");
}

LogCapture::~LogCapture()
{
    brix::Log::close();
}

std::vector<std::string> LogCapture::lines() const
{
    // "T YYYY-MM-DD hh:mm:ss.mmm text": the text starts at column 26.
    const std::string::size_type TEXT_COLUMN = 26;
    std::istringstream in(readFile(mDir.file("application.log")));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);)
        if (line.size() >= TEXT_COLUMN && line[0] != 'X')
            result.push_back(line.substr(0, 2) + line.substr(TEXT_COLUMN));
    return result;
}

std::vector<std::string> LogCapture::errors() const
{
    std::vector<std::string> result;
    for (const std::string& line : lines())
        if (line.compare(0, 2, "E ") == 0)
            result.push_back(line);
    return result;
}
} // namespace test
