#include "network/httpquerystring.h"

#include "toolkit/stringutil.h"

namespace brix
{
namespace
{
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

HTTPQueryString::HTTPQueryString() = default;

HTTPQueryString::HTTPQueryString(const std::string& text)
{
    decode(text);
}

HTTPQueryString::~HTTPQueryString() = default;

void HTTPQueryString::setParameter(const std::string& name, const std::string& value)
{
    mParameters[name] = value;
}

void HTTPQueryString::setParameter(const std::string& name, int value)
{
    mParameters[name] = StringUtil::toString(value);
}

bool HTTPQueryString::hasParameter(const std::string& name) const
{
    return mParameters.count(name) != 0;
}

std::string HTTPQueryString::getParameter(const std::string& name) const
{
    auto it = mParameters.find(name);
    return it == mParameters.end() ? std::string() : it->second;
}

int HTTPQueryString::getParameterAsInteger(const std::string& name, int defaultValue) const
{
    auto it = mParameters.find(name);
    return it == mParameters.end() ? defaultValue : StringUtil::stringToInt(it->second);
}

std::string HTTPQueryString::encode() const
{
    std::string out;
    for (const auto& parameter : mParameters)
    {
        if (!out.empty())
            out += '&';
        out += urlEncode(parameter.first);
        out += '=';
        out += urlEncode(parameter.second);
    }
    return out;
}

bool HTTPQueryString::decode(const std::string& text)
{
    mParameters.clear();
    std::size_t position = 0;
    while (position < text.size())
    {
        std::size_t equals = text.find('=', position);
        if (equals == std::string::npos)
            return false;
        std::size_t end = text.find('&', equals + 1);
        if (end == std::string::npos)
            end = text.size();
        mParameters[urlDecode(text.substr(position, equals - position))] =
            urlDecode(text.substr(equals + 1, end - equals - 1));
        position = end + 1;
    }
    return true;
}

std::string HTTPQueryString::urlEncode(const std::string& text)
{
    static const char* const HEX = "0123456789ABCDEF";
    std::string out;
    for (char c : text)
    {
        unsigned char byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~')
        {
            out += c;
            continue;
        }
        out += '%';
        out += HEX[byte >> 4];
        out += HEX[byte & 15];
    }
    return out;
}

std::string HTTPQueryString::urlDecode(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            break;
        int high = hexDigit(text[i + 1]);
        int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0)
        {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}
} // namespace brix
