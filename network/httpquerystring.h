#pragma once
#include <map>
#include <string>

namespace brix
{
// The parameters of a URL query string, kept in byte-wise name order. Names and values are
// percent-encoded on the way out: only A-Z, a-z, 0-9 and "-_.~" stay as they are.
class HTTPQueryString
{
public:
    HTTPQueryString();
    // Decodes the text; see decode.
    explicit HTTPQueryString(const std::string& text);
    virtual ~HTTPQueryString();

    void setParameter(const std::string& name, const std::string& value);
    void setParameter(const std::string& name, int value);
    bool hasParameter(const std::string& name) const;
    // The value, or an empty string when absent.
    std::string getParameter(const std::string& name) const;
    int getParameterAsInteger(const std::string& name, int defaultValue) const;
    void clear() { mParameters.clear(); }

    // "name=value" pairs joined with "&"; empty for no parameters.
    std::string encode() const;
    // Replaces the parameters. False at a pair without "=", keeping the pairs before it.
    bool decode(const std::string& text);

    // Percent-encoding of one name or value, as used in query strings and request paths.
    static std::string urlEncode(const std::string& text);
    // "%XY" becomes the byte XY, everything else is copied; a "%" too near the end stops it.
    static std::string urlDecode(const std::string& text);

private:
    std::map<std::string, std::string> mParameters;
};
} // namespace brix
