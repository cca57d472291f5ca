#include "network/httpmessage.h"

#include <cctype>

namespace brix
{
HTTPMessage::HTTPMessage() : mStatus(0) {}

HTTPMessage::HTTPMessage(const std::string& body) : mStatus(0), mBody(body) {}

HTTPMessage::~HTTPMessage() = default;

bool HTTPMessage::equalsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const HTTPMessage::Header* HTTPMessage::findHeader(const std::string& name) const
{
    for (const Header& header : mHeaders)
    {
        if (equalsIgnoreCase(header.name, name))
            return &header;
    }
    return nullptr;
}

bool HTTPMessage::hasHeader(const std::string& name) const
{
    return findHeader(name) != nullptr;
}

std::string HTTPMessage::getHeader(const std::string& name) const
{
    const Header* header = findHeader(name);
    return header ? header->value : std::string();
}

void HTTPMessage::setHeader(const std::string& name, const std::string& value)
{
    Header* header = const_cast<Header*>(findHeader(name));
    if (header)
    {
        header->name = name;
        header->value = value;
        return;
    }
    mHeaders.push_back(Header{name, value});
}
} // namespace brix
