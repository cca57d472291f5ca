#pragma once
#include <string>
#include <vector>

namespace brix
{
// One HTTP request or response: a status (0 in a message that failed), headers in the order
// they were set, and a body. Header names compare without regard to case.
class HTTPMessage
{
public:
    struct Header
    {
        std::string name;
        std::string value;
    };

    HTTPMessage();
    explicit HTTPMessage(const std::string& body);
    virtual ~HTTPMessage();

    unsigned int getStatus() const { return mStatus; }
    void setStatus(unsigned int status) { mStatus = status; }
    const std::vector<Header>& getHeaders() const { return mHeaders; }
    bool hasHeader(const std::string& name) const;
    // The value, or an empty string when there is no such header.
    std::string getHeader(const std::string& name) const;
    // Replaces the value and the stored name of an existing header, or appends a new one.
    void setHeader(const std::string& name, const std::string& value);
    const std::string& getBody() const { return mBody; }
    void setBody(const std::string& body) { mBody = body; }

    static bool equalsIgnoreCase(const std::string& a, const std::string& b);

private:
    const Header* findHeader(const std::string& name) const;

    unsigned int mStatus;
    std::vector<Header> mHeaders;
    std::string mBody;
};
} // namespace brix
