#pragma once
#include <string>

namespace brix
{
class Label;
class LabelManager;

// Makes labels of one type, by name, for the label manager, which owns the factory once it
// is registered and deletes it.
class LabelFactory
{
public:
    virtual std::string getType() = 0;
    // A new label the manager will own.
    virtual Label* createLabel(LabelManager* manager) = 0;
    virtual ~LabelFactory() {}
};
} // namespace brix
