#include "toolkit/configuration.h"

#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>

namespace brix
{
Configuration* Configuration::m_Instance = nullptr;

namespace
{
// Whether a number can be read at the start of the text (after whitespace), as the
// string conversions would read it.
bool startsWithNumber(const std::string& text, bool allowPoint)
{
    std::size_t position = text.find_first_not_of(" \t\n\r");
    if (position == std::string::npos)
        return false;
    if (text[position] == '+' || text[position] == '-')
        ++position;
    if (allowPoint && position < text.size() && text[position] == '.')
        ++position;
    return position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
}
} // namespace

Configuration::Configuration(unsigned version) : mVersion(version)
{
    if (!m_Instance)
        m_Instance = this;
}

Configuration::Configuration(const Configuration& other)
    : mVersion(other.mVersion), mFileName(other.mFileName), mParameters(other.mParameters),
      mIndexByName(other.mIndexByName), mListeners(other.mListeners)
{
    if (!m_Instance)
        m_Instance = this;
}

Configuration::~Configuration()
{
    if (m_Instance == this)
        m_Instance = nullptr;
}

int Configuration::addParameter(const TParameter& parameter)
{
    if (mIndexByName.count(parameter.name))
    {
        Log::error("Attempt to add a duplicate configuration parameter '%s'", parameter.name.c_str());
        return -1;
    }
    int index = static_cast<int>(mParameters.size());
    mParameters.push_back(parameter);
    mIndexByName[parameter.name] = index;
    Log::debug("Added configuration parameter '%s' at index %d", parameter.name.c_str(), index);
    return index;
}

bool Configuration::addBooleanParameter(const std::string& name, bool defaultValue, unsigned version)
{
    if (addParameter({name, BOOLEAN, std::string(), 0.0, 0.0, 1.0, version}) < 0)
        return false;
    setBoolean(name, defaultValue);
    return true;
}

bool Configuration::addIntegerParameter(const std::string& name, int defaultValue, int minimum, int maximum,
                                        unsigned version)
{
    if (addParameter({name, INTEGER, std::string(), 0.0, double(minimum), double(maximum), version}) < 0)
        return false;
    setInteger(name, defaultValue);
    return true;
}

bool Configuration::addFloatParameter(const std::string& name, float defaultValue, float minimum,
                                      float maximum, unsigned version)
{
    if (addParameter({name, FLOAT, std::string(), 0.0, double(minimum), double(maximum), version}) < 0)
        return false;
    setFloat(name, defaultValue);
    return true;
}

bool Configuration::addStringParameter(const std::string& name, const std::string& defaultValue,
                                       int minimumLength, int maximumLength, unsigned version)
{
    if (addParameter(
            {name, STRING, defaultValue, 0.0, double(minimumLength), double(maximumLength), version}) < 0)
        return false;
    setString(name, defaultValue);
    return true;
}

int Configuration::findParameter(const std::string& name) const
{
    auto found = mIndexByName.find(name);
    if (found == mIndexByName.end())
    {
        Log::debug("Access to non-existing configuration parameter '%s'", name.c_str());
        return -1;
    }
    return found->second;
}

const Configuration::TParameter* Configuration::findTyped(const std::string& name, int type) const
{
    int index = findParameter(name);
    if (index < 0)
        return nullptr;
    if (mParameters[index].type != type)
    {
        Log::debug("Configuration parameter type conflict '%s'", name.c_str());
        return nullptr;
    }
    return &mParameters[index];
}

bool Configuration::storeNumber(int index, double value)
{
    TParameter& parameter = mParameters[index];
    if (parameter.value == value)
        return true;
    parameter.value = value;
    notify(parameter.name);
    return true;
}

bool Configuration::setBoolean(const std::string& name, bool value)
{
    const TParameter* parameter = findTyped(name, BOOLEAN);
    if (!parameter)
        return false;
    return storeNumber(mIndexByName[name], value ? 1.0 : 0.0);
}

bool Configuration::setInteger(const std::string& name, int value)
{
    const TParameter* parameter = findTyped(name, INTEGER);
    if (!parameter)
        return false;
    if (parameter->minimum <= parameter->maximum)
    {
        if (value > parameter->maximum)
        {
            value = static_cast<int>(parameter->maximum);
            Log::debug("Too high value for configration parameter '%s' clipped to %d", name.c_str(), value);
        }
        else if (value < parameter->minimum)
        {
            value = static_cast<int>(parameter->minimum);
            Log::debug("Too low value for configuration parameter '%s' clipped to %d", name.c_str(), value);
        }
    }
    return storeNumber(mIndexByName[name], value);
}

bool Configuration::setFloat(const std::string& name, float value)
{
    const TParameter* parameter = findTyped(name, FLOAT);
    if (!parameter)
        return false;
    // A NaN would pass every limit and reach the code that relies on them.
    if (std::isnan(value))
    {
        Log::debug("Invalid value for configuration parameter '%s'", name.c_str());
        return false;
    }
    if (parameter->minimum <= parameter->maximum)
    {
        if (value > parameter->maximum)
        {
            value = static_cast<float>(parameter->maximum);
            Log::debug("Too high value for configuration parameter '%s' clipped to %f", name.c_str(), value);
        }
        else if (value < parameter->minimum)
        {
            value = static_cast<float>(parameter->minimum);
            Log::debug("Too low value for configuration parameter '%s' clipped to %f", name.c_str(), value);
        }
    }
    return storeNumber(mIndexByName[name], value);
}

bool Configuration::setString(const std::string& name, const std::string& value)
{
    const TParameter* parameter = findTyped(name, STRING);
    if (!parameter)
        return false;
    if (value.size() > parameter->maximum)
        Log::debug("Too long value for configuration parameter '%s' bytes", name.c_str());
    else if (value.size() < parameter->minimum)
        Log::debug("Too short value for configuration parameter '%s'", name.c_str());
    TParameter& stored = mParameters[mIndexByName[name]];
    if (stored.stringValue == value)
        return true;
    stored.stringValue = value;
    notify(name);
    return true;
}

bool Configuration::set(const std::string& name, const std::string& text)
{
    int index = findParameter(name);
    return index >= 0 && setFromText(index, text);
}

bool Configuration::setFromText(int index, const std::string& text)
{
    // By copy: a listener told of the change may declare parameters and move the stored name.
    const std::string name = mParameters[index].name;
    switch (mParameters[index].type)
    {
    case BOOLEAN:
    {
        std::size_t start = text.find_first_not_of(" \t\n\r");
        if (start == std::string::npos)
            return false;
        if (text.compare(start, 4, "true") == 0)
            return setBoolean(name, true);
        if (text.compare(start, 5, "false") == 0)
            return setBoolean(name, false);
        return false;
    }
    case INTEGER:
        return startsWithNumber(text, false) && setInteger(name, StringUtil::stringToInt(text));
    case FLOAT:
        return startsWithNumber(text, true) && setFloat(name, StringUtil::stringToFloat(text));
    default:
        return setString(name, text);
    }
}

bool Configuration::getBoolean(const std::string& name) const
{
    const TParameter* parameter = findTyped(name, BOOLEAN);
    return parameter && parameter->value != 0.0;
}

int Configuration::getInteger(const std::string& name) const
{
    const TParameter* parameter = findTyped(name, INTEGER);
    return parameter ? static_cast<int>(parameter->value) : 0;
}

float Configuration::getFloat(const std::string& name) const
{
    const TParameter* parameter = findTyped(name, FLOAT);
    return parameter ? static_cast<float>(parameter->value) : 0.0f;
}

const std::string& Configuration::getString(const std::string& name) const
{
    static const std::string EMPTY;
    const TParameter* parameter = findTyped(name, STRING);
    return parameter ? parameter->stringValue : EMPTY;
}

std::string Configuration::get(const std::string& name) const
{
    int index = findParameter(name);
    if (index < 0)
        return std::string();
    const TParameter& parameter = mParameters[index];
    switch (parameter.type)
    {
    case BOOLEAN:
        return parameter.value != 0.0 ? "1" : "0";
    case INTEGER:
        return StringUtil::toString(static_cast<int>(parameter.value));
    case FLOAT:
        return StringUtil::toString(static_cast<float>(parameter.value), 6);
    default:
        return parameter.stringValue;
    }
}

bool Configuration::fail(const std::string& context, const std::string& reason)
{
    mLastError = reason;
    Log::error(context + reason);
    return false;
}

bool Configuration::load(const std::string& path)
{
    mFileName = path;
    if (!File::fileExists(path))
    {
        Log::info("No configuration file '%s' found", path.c_str());
        return true;
    }
    XMLElement root("");
    int result = root.load(path);
    if (result < 0)
        return fail("Configuration file '" + path + "' loading failed (" + StringUtil::toString(result) +
                        "): ",
                    XMLElement::getLastError());
    return load(&root);
}

bool Configuration::load(const XMLElement* root)
{
    if (!root)
        return false;
    const unsigned fileVersion = static_cast<unsigned>(root->getValueAsInteger("version", 0));
    // By index and by copy: a listener called from a setter may declare more parameters.
    for (std::size_t index = 0; index < mParameters.size(); ++index)
    {
        const std::string name = mParameters[index].name;
        if (fileVersion < mParameters[index].version)
        {
            Log::debug("Configuration parameter '%s' value ignored (interpretation changed between versions)",
                       name.c_str());
            continue;
        }
        const XMLElement* element = root->findChild(name);
        if (!element)
        {
            Log::debug("No value for configuration parameter '%s'", name.c_str());
            continue;
        }
        if (!setFromText(static_cast<int>(index), element->getValue()))
            Log::error("Invalid value '%s' for configuration parameter '%s' ignored",
                       element->getValue().c_str(), name.c_str());
    }
    return true;
}

bool Configuration::save()
{
    if (mFileName.empty())
        return fail("", "Attempt to save configuration without file name (not loaded from a file)");
    return save(mFileName);
}

bool Configuration::save(const std::string& path)
{
    XMLElement root("configuration");
    save(&root);
    int result = root.save(path, true);
    if (result < 0)
        return fail("Configuration saving to file '" + path + "' failed (" + StringUtil::toString(result) +
                        "): ",
                    XMLElement::getLastError());
    return true;
}

bool Configuration::save(XMLElement* root) const
{
    if (!root)
        return false;
    root->findChild("version", true)->setValue(static_cast<int>(mVersion));
    for (const TParameter& parameter : mParameters)
    {
        XMLElement* element = root->findChild(parameter.name, true);
        switch (parameter.type)
        {
        case BOOLEAN:
            element->setValue(parameter.value != 0.0);
            break;
        case INTEGER:
            element->setValue(static_cast<int>(parameter.value));
            break;
        case FLOAT:
            element->setValue(static_cast<float>(parameter.value));
            break;
        default:
            element->setValue(parameter.stringValue);
        }
    }
    return true;
}

void Configuration::addListener(Listener* listener)
{
    if (listener && std::find(mListeners.begin(), mListeners.end(), listener) == mListeners.end())
        mListeners.push_back(listener);
}

void Configuration::removeListener(Listener* listener)
{
    mListeners.remove(listener);
}

void Configuration::notify(const std::string name)
{
    // A listener may add or remove listeners while it is told; one removed meanwhile is not
    // called any more.
    const std::list<Listener*> listeners = mListeners;
    for (Listener* listener : listeners)
        if (std::find(mListeners.begin(), mListeners.end(), listener) != mListeners.end())
            listener->onParameterChange(name);
}

void Configuration::updateAllParameters()
{
    for (std::size_t index = 0; index < mParameters.size(); ++index)
        notify(std::string(mParameters[index].name));
}
} // namespace brix
