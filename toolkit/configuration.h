#pragma once
#include <list>
#include <map>
#include <string>
#include <vector>

namespace brix
{
class XMLElement;

// Typed settings of an application, each declared once with a default, limits and the first
// configuration version whose files hold a value it accepts. Names are paths of a section
// and a key ("video/width"), which is also where the value sits in the XML file.
//
// Numbers outside their limits are clipped; strings outside their length limits are kept
// whole and only logged. Every change is reported, synchronously and in registration order,
// to the listeners. The configuration never saves by itself. Main thread only.
class Configuration
{
public:
    enum ParameterType
    {
        BOOLEAN = 0,
        INTEGER = 1,
        FLOAT = 2,
        STRING = 3
    };

    struct TParameter
    {
        std::string name;
        int type;
        std::string stringValue;
        // Boolean (0 or 1), integer or float value.
        double value;
        // Numbers: the limits, which apply only when minimum <= maximum. Strings: lengths.
        double minimum;
        double maximum;
        unsigned version;
    };

    class Listener
    {
    public:
        virtual ~Listener() {}
        virtual void onParameterChange(const std::string& name) = 0;
    };

    explicit Configuration(unsigned version);
    Configuration(const Configuration& other);
    Configuration& operator=(const Configuration& other) = default;
    virtual ~Configuration();

    // The first configuration constructed, while it lives.
    static Configuration* getInstance() { return m_Instance; }

    // A duplicate name fails and changes nothing.
    bool addBooleanParameter(const std::string& name, bool defaultValue, unsigned version);
    bool addIntegerParameter(const std::string& name, int defaultValue, int minimum, int maximum,
                             unsigned version);
    bool addFloatParameter(const std::string& name, float defaultValue, float minimum, float maximum,
                           unsigned version);
    bool addStringParameter(const std::string& name, const std::string& defaultValue, int minimumLength,
                            int maximumLength, unsigned version);

    // False for an unknown name or a parameter of another type.
    bool setBoolean(const std::string& name, bool value);
    bool setInteger(const std::string& name, int value);
    // Also false for a value that is not a number.
    bool setFloat(const std::string& name, float value);
    bool setString(const std::string& name, const std::string& value);
    // Any type from its text ("true"/"false", decimal numbers, any string); false when the
    // text does not read.
    bool set(const std::string& name, const std::string& text);

    bool getBoolean(const std::string& name) const;
    int getInteger(const std::string& name) const;
    float getFloat(const std::string& name) const;
    const std::string& getString(const std::string& name) const;
    // Any type as text: booleans "1" or "0", floats with six decimals.
    std::string get(const std::string& name) const;

    // A missing file is no error: the path is kept for save() and the values stay. A file that
    // does not read whole (malformed, or cut short before the root's closing tag) gives false
    // and changes nothing.
    bool load(const std::string& path);
    // A value that does not read as its type (a number that is no number) is logged and leaves
    // the parameter as it was; every other value is taken.
    bool load(const XMLElement* root);
    // Writes to the path of the last load.
    bool save();
    bool save(const std::string& path);
    bool save(XMLElement* root) const;
    // Why the last load or save of a file failed, in words for the person who has to mend it
    // (a save's reason names the file).
    const std::string& getLastError() const { return mLastError; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);
    // Reports every parameter to every listener, in declaration order.
    void updateAllParameters();

private:
    int addParameter(const TParameter& parameter);
    int findParameter(const std::string& name) const;
    const TParameter* findTyped(const std::string& name, int type) const;
    bool storeNumber(int index, double value);
    // Sets the parameter from its text; false when the text does not read as its type.
    bool setFromText(int index, const std::string& text);
    // Logs the context and the reason, keeps the reason for getLastError and answers false.
    bool fail(const std::string& context, const std::string& reason);
    // By value: a listener may declare parameters and move the stored names.
    void notify(const std::string name);

    unsigned mVersion;
    std::string mFileName;
    std::vector<TParameter> mParameters;
    std::map<std::string, int> mIndexByName;
    std::list<Listener*> mListeners;
    std::string mLastError;

    static Configuration* m_Instance;
};
} // namespace brix
