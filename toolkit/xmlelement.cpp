#include "toolkit/xmlelement.h"

#include "toolkit/checksum.h"
#include "toolkit/mutex.h"
#include "toolkit/stringutil.h"
#include "toolkit/temporaryfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brix
{
std::string XMLElement::m_LastError;

namespace
{
const char* const WHITESPACE = " \t\n\r";
// Where a source ends before what it opened is closed: a file cut short.
const char* const UNEXPECTED_END = "Unexpected end of source data at ";

// Guards m_LastError: background tasks parse their own trees at the same time.
Mutex& lastErrorMutex()
{
    static Mutex mutex;
    return mutex;
}

bool isComment(const std::string& name)
{
    return !name.empty() && name[0] == '!';
}

int toResult(std::size_t position)
{
    return position > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(position);
}
} // namespace

XMLElement::XMLElement(const std::string& name)
    : mNextSibling(nullptr), mName(name), mFirstChild(nullptr), mLastChild(nullptr)
{
}

XMLElement::XMLElement(const XMLElement* source)
    : mNextSibling(nullptr), mFirstChild(nullptr), mLastChild(nullptr)
{
    if (!source)
        return;
    mName = source->mName;
    mValue = source->mValue;
    for (const XMLElement* child = source->mFirstChild; child; child = child->mNextSibling)
        addChild(new XMLElement(child));
}

XMLElement::~XMLElement()
{
    deleteChildren();
}

XMLElement* XMLElement::createChild(const std::string& name)
{
    XMLElement* child = new XMLElement(name);
    addChild(child);
    return child;
}

void XMLElement::addChild(XMLElement* element)
{
    element->mNextSibling = nullptr;
    if (mLastChild)
        mLastChild->mNextSibling = element;
    else
        mFirstChild = element;
    mLastChild = element;
}

XMLElement* XMLElement::getChild(const std::string& name)
{
    for (XMLElement* child = mFirstChild; child; child = child->mNextSibling)
        if (name.empty() || child->mName == name)
            return child;
    return nullptr;
}

const XMLElement* XMLElement::getChild(const std::string& name) const
{
    return const_cast<XMLElement*>(this)->getChild(name);
}

XMLElement* XMLElement::getNextChild(const XMLElement* child, const std::string& name)
{
    if (!child)
        return nullptr;
    for (XMLElement* next = child->mNextSibling; next; next = next->mNextSibling)
        if (name.empty() || next->mName == name)
            return next;
    return nullptr;
}

const XMLElement* XMLElement::getNextChild(const XMLElement* child, const std::string& name) const
{
    return const_cast<XMLElement*>(this)->getNextChild(child, name);
}

XMLElement* XMLElement::findChild(const std::string& path, bool create)
{
    if (path.empty() || path == "/")
        return this;
    XMLElement* element = this;
    std::size_t start = path[0] == '/' ? 1 : 0;
    for (;;)
    {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        XMLElement* child = element->getChild(name);
        if (!child)
        {
            if (!create)
                return nullptr;
            child = element->createChild(name);
        }
        element = child;
        if (end == path.size())
            return element;
        start = end + 1;
    }
}

const XMLElement* XMLElement::findChild(const std::string& path) const
{
    return const_cast<XMLElement*>(this)->findChild(path, false);
}

XMLElement* XMLElement::deleteChild(XMLElement* child)
{
    if (!child)
        return nullptr;
    XMLElement* previous = nullptr;
    for (XMLElement* current = mFirstChild; current; previous = current, current = current->mNextSibling)
    {
        if (current != child)
            continue;
        XMLElement* next = current->mNextSibling;
        if (previous)
            previous->mNextSibling = next;
        else
            mFirstChild = next;
        if (mLastChild == current)
            mLastChild = previous;
        delete current;
        return next;
    }
    return nullptr;
}

void XMLElement::deleteChild(const std::string& name)
{
    for (XMLElement* child = mFirstChild; child;)
        child = child->mName == name ? deleteChild(child) : child->mNextSibling;
}

void XMLElement::deleteChildren()
{
    XMLElement* child = mFirstChild;
    mFirstChild = mLastChild = nullptr;
    while (child)
    {
        XMLElement* next = child->mNextSibling;
        delete child;
        child = next;
    }
}

void XMLElement::clear()
{
    deleteChildren();
    mName.clear();
    mValue.clear();
}

std::string XMLElement::getValue(const std::string& path, const std::string& defaultValue) const
{
    const XMLElement* element = findChild(path);
    return element ? element->mValue : defaultValue;
}

int XMLElement::getValueAsInteger() const
{
    return StringUtil::stringToInt(mValue);
}

float XMLElement::getValueAsFloat() const
{
    return StringUtil::stringToFloat(mValue);
}

bool XMLElement::getValueAsBoolean() const
{
    std::size_t start = mValue.find_first_not_of(WHITESPACE);
    return start != std::string::npos && mValue.compare(start, 4, "true") == 0;
}

int XMLElement::getValueAsInteger(const std::string& path, int defaultValue) const
{
    const XMLElement* element = findChild(path);
    return element ? element->getValueAsInteger() : defaultValue;
}

float XMLElement::getValueAsFloat(const std::string& path, float defaultValue) const
{
    const XMLElement* element = findChild(path);
    return element ? element->getValueAsFloat() : defaultValue;
}

bool XMLElement::getValueAsBoolean(const std::string& path, bool defaultValue) const
{
    const XMLElement* element = findChild(path);
    return element ? element->getValueAsBoolean() : defaultValue;
}

void XMLElement::setValue(const std::string& value)
{
    mValue = StringUtil::trim(value);
}

void XMLElement::setValue(int value)
{
    mValue = StringUtil::toString(value);
}

void XMLElement::setValue(float value)
{
    mValue = StringUtil::toString(value, 6);
}

void XMLElement::setValue(bool value)
{
    mValue = value ? "true" : "false";
}

std::string XMLElement::getLastError()
{
    Mutex& mutex = lastErrorMutex();
    mutex.lock();
    std::string error = m_LastError;
    mutex.unlock();
    return error;
}

bool XMLElement::refuse(const std::string& message)
{
    fail(message, -1);
    return false;
}

int XMLElement::fail(const std::string& message, int result)
{
    Mutex& mutex = lastErrorMutex();
    mutex.lock();
    m_LastError = message;
    mutex.unlock();
    return result;
}

std::string XMLElement::makeLocationString(const TPath& path)
{
    if (path.empty())
        return "/";
    std::string location;
    for (const std::string* name : path)
        location += "/" + *name;
    return location;
}

int XMLElement::parse(const std::string& source)
{
    clear();
    return parseSource(source);
}

int XMLElement::parseSource(const std::string& source)
{
    if (source.size() > static_cast<std::size_t>(INT_MAX))
        return fail("XML source too large", -1);
    std::size_t start = source.find_first_not_of(WHITESPACE);
    if (start == std::string::npos)
        return fail("Empty XML source", -1);
    int position = parseXMLDeclaration(source, start);
    if (position < 0)
        return position;
    TPath path;
    path.reserve(16);
    return parse(source, static_cast<std::size_t>(position), path);
}

int XMLElement::parseXMLDeclaration(const std::string& source, std::size_t position)
{
    if (source.compare(position, 5, "<?xml") != 0)
        return toResult(position);
    std::size_t end = source.find("?>", position + 5);
    if (end == std::string::npos)
        return fail("Unterminated XML declaration", -1);
    std::size_t root = source.find('<', end + 2);
    if (root == std::string::npos)
        return fail("No root element found after XML declaration", -toResult(end));
    return toResult(root);
}

int XMLElement::parse(const std::string& source, std::size_t position, TPath& path)
{
    const std::size_t size = source.size();
    if (position >= size)
        return fail(UNEXPECTED_END + makeLocationString(path), -toResult(position));
    if (path.empty())
    {
        int result = parseTag(source, position, mName, path);
        if (result < 0)
            return result;
        position = static_cast<std::size_t>(result);
    }
    path.push_back(&mName);
    mValue.clear();

    std::string tag;
    bool closed = false;
    while (position < size)
    {
        if (source[position] != '<')
        {
            std::size_t next = source.find('<', position);
            if (next == std::string::npos)
                next = size;
            mValue.append(source, position, next - position);
            position = next;
            continue;
        }
        int result = parseTag(source, position, tag, path);
        if (result < 0)
            return result;
        position = static_cast<std::size_t>(result);
        if (!tag.empty() && tag[0] == '/')
        {
            if (tag.compare(1, std::string::npos, mName) != 0)
                return fail("Mismatching closing tag '" + tag.substr(1) + "' while expecting '" + mName +
                                "' at " + makeLocationString(path),
                            -result);
            closed = true;
            break;
        }
        if (path.size() >= static_cast<std::size_t>(MAX_DEPTH))
            return fail("Elements nested more than " + StringUtil::toString(MAX_DEPTH) + " deep at " +
                            makeLocationString(path),
                        -result);
        const bool comment = isComment(tag);
        XMLElement* child = createChild(std::string());
        child->mName.swap(tag);
        if (!comment)
        {
            result = child->parse(source, position, path);
            if (result < 0)
                return result;
            position = static_cast<std::size_t>(result);
        }
    }
    // A file cut short must not read as a whole one.
    if (!closed)
        return fail(UNEXPECTED_END + makeLocationString(path), -toResult(size));

    if (!mValue.empty())
    {
        std::size_t first = mValue.find_first_not_of(WHITESPACE);
        if (first == std::string::npos)
            mValue.clear();
        else if (first > 0 || mValue.find_last_not_of(WHITESPACE) + 1 < mValue.size())
            mValue = StringUtil::trim(mValue);
        if (mValue.find('&') != std::string::npos)
            unescapeValue(mValue);
    }
    path.pop_back();
    return toResult(position);
}

int XMLElement::parseTag(const std::string& source, std::size_t position, std::string& tag, const TPath& path)
{
    if (source[position] != '<')
    {
        char code[16];
        std::snprintf(code, sizeof code, "0x%02X",
                      static_cast<int>(static_cast<signed char>(source[position])));
        return fail(std::string("Expected a tag, but found character ") + code + " at " +
                        makeLocationString(path),
                    -toResult(position + 1));
    }
    tag.clear();
    std::size_t start = position + 1;
    for (;;)
    {
        std::size_t end = source.find('>', start);
        if (end == std::string::npos)
            return fail(UNEXPECTED_END + makeLocationString(path), -toResult(source.size()));
        tag.append(source, start, end - start);
        if (tag.empty())
            return fail("Empty tag at " + makeLocationString(path), -toResult(end + 1));
        // A comment ends only at "-->"; any other ">" inside it is dropped.
        if (tag[0] != '!' || (tag.size() >= 5 && tag.compare(tag.size() - 2, 2, "--") == 0))
            return toResult(end + 1);
        start = end + 1;
    }
}

void XMLElement::unescapeValue(std::string& value)
{
    static const struct
    {
        const char* text;
        std::size_t length;
        char character;
    } ENTITIES[] = {
        {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};

    std::size_t out = 0;
    for (std::size_t in = 0; in < value.size();)
    {
        if (value[in] != '&')
        {
            value[out++] = value[in++];
            continue;
        }
        std::size_t matched = 1; // an ampersand that starts no entity is dropped
        for (const auto& entity : ENTITIES)
        {
            if (value.compare(in, entity.length, entity.text) == 0)
            {
                value[out++] = entity.character;
                matched = entity.length;
                break;
            }
        }
        in += matched;
    }
    value.resize(out);
}

void XMLElement::escapeValue(std::string& out, const std::string& value)
{
    for (char c : value)
    {
        switch (c)
        {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

void XMLElement::stream(std::string& out, int indent) const
{
    const bool formatted = indent >= 0;
    const bool inlined = formatted && !mFirstChild && mValue.size() < INLINE_VALUE_LENGTH;
    if (formatted)
        out.append(indent, '\t');
    out += '<';
    out += mName;
    out += '>';
    if (isComment(mName))
    {
        if (formatted)
            out += '\n';
        return;
    }
    if (formatted && !inlined)
        out += '\n';
    for (const XMLElement* child = mFirstChild; child; child = child->mNextSibling)
        child->stream(out, formatted ? indent + 1 : -1);
    if (!mValue.empty())
    {
        if (formatted && !inlined)
        {
            out.append(indent + 1, '\t');
            escapeValue(out, mValue);
            out += '\n';
        }
        else
            escapeValue(out, mValue);
    }
    if (formatted && !inlined)
        out.append(indent, '\t');
    out += "</";
    out += mName;
    out += '>';
    if (formatted)
        out += '\n';
}

std::string XMLElement::toString() const
{
    std::string text;
    stream(text, -1);
    return text;
}

int XMLElement::load(const std::string& path, std::string* text)
{
    clear();
    // Opened without waiting, so that a pipe or device at the path cannot hold the caller.
    int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return fail("Unable to open source file '" + path + "'", -1);
    struct stat status;
    bool failed = ::fstat(file, &status) != 0 || !S_ISREG(status.st_mode);
    std::string content;
    char buffer[65536];
    while (!failed)
    {
        ssize_t count = ::read(file, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
        {
            failed = count < 0;
            break;
        }
        const void* terminator = std::memchr(buffer, '\0', static_cast<std::size_t>(count));
        if (terminator)
        {
            content.append(buffer, static_cast<const char*>(terminator) - buffer);
            break;
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(file);
    if (failed || content.empty())
        return fail("Unable to read source file '" + path + "'", -1);
    if (text)
        *text = content;
    // Read as text: a file saved with Windows line ends gives the same values, and so the same
    // checksum, as one with plain line feeds. A lone carriage return stays.
    std::string::size_type kept = 0;
    for (std::string::size_type i = 0; i < content.size(); ++i)
        if (content[i] != '\r' || i + 1 == content.size() || content[i + 1] != '\n')
            content[kept++] = content[i];
    content.resize(kept);
    return parseSource(content);
}

int XMLElement::save(const std::string& path, bool formatted, std::size_t maxSize) const
{
    std::string text;
    stream(text, formatted ? 0 : -1);
    if (maxSize > 0 && text.size() > maxSize)
        return fail("Text of " + std::to_string(text.size()) + " bytes, more than the " +
                        std::to_string(maxSize) + " allowed",
                    -1);

    // The previous file stays whole until the new one is complete on disk.
    TemporaryFile file(path);
    if (!file.isOpen())
        return fail("Unable to open target file '" + path + "': " + std::strerror(errno), -1);
    file.write(text.data(), text.size());
    if (!file.commit())
        return fail(std::string(file.renameFailed() ? "Unable to replace" : "Unable to write") +
                        " target file '" + path + "': " + std::strerror(errno),
                    -1);
    return toResult(text.size());
}

void XMLElement::calculateChecksum(Checksum& checksum) const
{
    checksum.add(mName);
    checksum.add(mValue);
    for (const XMLElement* child = mFirstChild; child; child = child->mNextSibling)
        child->calculateChecksum(checksum);
}

bool XMLElement::parseTemplateRule(const std::string& rule, TTemplateRule& result)
{
    std::size_t colon = rule.find(':');
    if (colon == std::string::npos)
        return false;
    auto readRange = [](const std::string& piece, unsigned& low, unsigned& high)
    {
        std::size_t dash = piece.find('-');
        if (dash == std::string::npos)
            low = high = StringUtil::stringToUInt(piece);
        else
        {
            low = StringUtil::stringToUInt(piece.substr(0, dash));
            high = StringUtil::stringToUInt(piece.substr(dash + 1));
        }
    };
    readRange(rule.substr(0, colon), result.minCount, result.maxCount);
    readRange(rule.substr(colon + 1), result.minLength, result.maxLength);
    return true;
}

bool XMLElement::validate(const XMLElement* templateRoot) const
{
    if (!templateRoot)
        return refuse("No template to validate against");
    TTemplateRule rule;
    if (!parseTemplateRule(templateRoot->mValue, rule))
        return refuse("Invalid template rule '" + templateRoot->mValue + "' for element '" +
                      templateRoot->mName + "'");
    return validate(templateRoot, rule.minLength, rule.maxLength);
}

bool XMLElement::validate(const XMLElement* templateElement, unsigned minLength, unsigned maxLength) const
{
    if (mValue.size() > maxLength)
        return refuse("Too long value for element '" + mName + "'");
    if (mValue.size() < minLength)
        return refuse("Too short value for element '" + mName + "'");

    for (const XMLElement* child = mFirstChild; child; child = child->mNextSibling)
    {
        if (isComment(child->mName))
            continue;
        const XMLElement* rule = templateElement->mFirstChild;
        while (rule && rule->mName != child->mName)
            rule = rule->mNextSibling;
        if (!rule)
            return refuse("Unexpected element '" + child->mName + "' as child of '" + mName + "'");
    }

    for (const XMLElement* rule = templateElement->mFirstChild; rule; rule = rule->mNextSibling)
    {
        TTemplateRule limits;
        if (!parseTemplateRule(rule->mValue, limits))
            return refuse("Invalid template rule '" + rule->mValue + "' for element '" + rule->mName + "'");
        unsigned count = 0;
        for (const XMLElement* child = mFirstChild; child; child = child->mNextSibling)
        {
            if (child->mName != rule->mName)
                continue;
            if (++count > limits.maxCount)
                return refuse("Too many '" + rule->mName + "' elements");
            if (!child->validate(rule, limits.minLength, limits.maxLength))
                return false;
        }
        if (count < limits.minCount)
            return refuse("Too few '" + rule->mName + "' elements");
    }
    return true;
}
} // namespace brix
