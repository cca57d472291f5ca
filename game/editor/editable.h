#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace game
{
// Something in the editor that can be selected and moved: a layer of elements, an element, or
// one position of an element. Selection lives on positions; the layer and its elements only
// pass calls down, so a transform applied to the layer reaches exactly the selected positions.
class Editable
{
public:
    virtual ~Editable() = default;
    // Selects or deselects this object and everything below it.
    virtual void setSelected(bool selected) = 0;
    // This object or anything below it is selected.
    virtual bool isSelected() const = 0;
    // Remembers where the selected parts are, as the start of a transform.
    virtual void beginTransform() = 0;
    // Places the selected parts at the remembered placement changed by the translation and the
    // rotation, snapped as their types require.
    virtual void transform(const Ogre::Vector3& translation, const Ogre::Quaternion& rotation) = 0;
    // Without commit the selected parts return to the remembered placement.
    virtual void endTransform(bool commit) = 0;
    // Deletes what is selected below this object; true when this object itself is left empty
    // and should be removed by its owner.
    virtual bool removeSelected() = 0;
};
} // namespace game
