#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace brix
{
class Checksum;

// One element of the system's XML dialect: a name, a text value and ordered child elements,
// no attributes. Comments stay in the tree as children whose name begins with "!" (the text
// between the angle brackets). Every data, level, configuration and high-score file is a tree
// of these.
//
// Reading and writing answer with a number: non-negative on success, minus the character
// position of the fault (or -1 where there is none) on failure, with the reason in
// getLastError. Callers log that text together with the file name. A tree is used by one
// thread at a time; the last error is shared by all threads, so it may already belong to a
// failure elsewhere.
class XMLElement
{
public:
    // Deeper nesting than this is refused by the reader; the root is level 1.
    static const int MAX_DEPTH = 512;
    // Values shorter than this (before escaping), in elements without children, are written
    // on the same line as their tags.
    static const std::size_t INLINE_VALUE_LENGTH = 40;

    explicit XMLElement(const std::string& name);
    // Deep copy of the name, the value and all descendants.
    explicit XMLElement(const XMLElement* source);
    virtual ~XMLElement();
    XMLElement(const XMLElement&) = delete;
    XMLElement& operator=(const XMLElement&) = delete;

    std::string getName() const { return mName; }
    void setName(const std::string& name) { mName = name; }

    // Appends a new child with an empty value; the tree owns it.
    XMLElement* createChild(const std::string& name);
    // The first child of that name; an empty name takes the first child of any name.
    XMLElement* getChild(const std::string& name);
    const XMLElement* getChild(const std::string& name) const;
    // The first later sibling of the child with that name; an empty name takes the next one.
    XMLElement* getNextChild(const XMLElement* child, const std::string& name);
    const XMLElement* getNextChild(const XMLElement* child, const std::string& name) const;
    // Walks a path of child names separated by "/" (a leading "/" is skipped; "" and "/" are
    // this element). With create set, missing elements on the way are appended.
    XMLElement* findChild(const std::string& path, bool create);
    const XMLElement* findChild(const std::string& path) const;
    // Deletes the child and returns the sibling that followed it; null when the pointer is
    // not a child of this element.
    XMLElement* deleteChild(XMLElement* child);
    // Deletes every child of that name.
    void deleteChild(const std::string& name);
    void deleteChildren();
    // Deletes all children and empties name and value.
    void clear();

    std::string getValue() const { return mValue; }
    std::string getValue(const std::string& path, const std::string& defaultValue) const;
    // Leading whitespace is skipped and reading stops at the first character that does not
    // fit; text that does not read gives 0, 0.0 or false. Numbers out of range are clamped.
    int getValueAsInteger() const;
    float getValueAsFloat() const;
    bool getValueAsBoolean() const;
    // The default applies only when there is no element at the path.
    int getValueAsInteger(const std::string& path, int defaultValue) const;
    float getValueAsFloat(const std::string& path, float defaultValue) const;
    bool getValueAsBoolean(const std::string& path, bool defaultValue) const;
    // Stored trimmed of blanks, tabs and line ends at both ends.
    void setValue(const std::string& value);
    void setValue(const char* value) { setValue(std::string(value)); }
    void setValue(int value);
    // Fixed point with six decimals.
    void setValue(float value);
    // "true" or "false".
    void setValue(bool value);

    // Builds the tree from the text: the position after the root's closing tag, or a negative
    // position on failure. A text that ends before an element's closing tag fails at its end,
    // naming the path of the elements whose content had begun: one cut right after a start tag
    // names the parent ("<a><b>" names /a, "<a><b>2" names /a/b). After a failure the tree
    // holds what was read so far.
    int parse(const std::string& source);
    // Reads the file and builds the tree from it. With text given, the file's characters as
    // read (up to a NUL) are kept there, so that the caller has the very text the tree came from.
    int load(const std::string& path, std::string* text = nullptr);
    // Writes the tree (formatted: one element per line, tab-indented) through a temporary
    // file that replaces the target only when complete. Returns the number of characters
    // written, or -1 with the previous file untouched; a maximum above 0 refuses a text of
    // more characters than that, so that a writer never writes what its readers refuse.
    int save(const std::string& path, bool formatted, std::size_t maxSize = 0) const;
    // The unformatted text of this element and its subtree.
    std::string toString() const;
    static std::string getLastError();

    // Feeds name, value and children, depth first, comments included.
    void calculateChecksum(Checksum& checksum) const;
    // Checks the tree against a template of the same shape whose values are rules
    // "MIN[-MAX]:LMIN[-LMAX]": how many children of that name, and how long their values.
    bool validate(const XMLElement* templateRoot) const;

private:
    typedef std::vector<const std::string*> TPath;

    struct TTemplateRule
    {
        unsigned minCount;
        unsigned maxCount;
        unsigned minLength;
        unsigned maxLength;
    };

    int parseSource(const std::string& source);
    static int parseXMLDeclaration(const std::string& source, std::size_t position);
    int parse(const std::string& source, std::size_t position, TPath& path);
    static int parseTag(const std::string& source, std::size_t position, std::string& tag, const TPath& path);
    static void unescapeValue(std::string& value);
    void stream(std::string& out, int indent) const;
    static void escapeValue(std::string& out, const std::string& value);
    static std::string makeLocationString(const TPath& path);
    static bool parseTemplateRule(const std::string& rule, TTemplateRule& result);
    bool validate(const XMLElement* templateElement, unsigned minLength, unsigned maxLength) const;
    void addChild(XMLElement* element);
    // Record the message as the last error; fail answers with the result, refuse with false.
    static int fail(const std::string& message, int result);
    static bool refuse(const std::string& message);

    XMLElement* mNextSibling;
    std::string mName;
    std::string mValue;
    XMLElement* mFirstChild;
    XMLElement* mLastChild;

    static std::string m_LastError;
};
} // namespace brix
