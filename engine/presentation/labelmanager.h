#pragma once
#include <OgreVector.h>

#include <list>
#include <map>
#include <string>
#include <vector>

namespace Ogre
{
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class Label;
class LabelFactory;

// Owns the labels of a scene and draws them into a fixed number of layers, one manual
// object each, so that viewports can show some layers and hide others through visibility
// flags. update() rebuilds only the layers whose labels changed. Main thread only.
class LabelManager
{
public:
    // Layer i answers to bit 1 << i of a label's layer flags.
    static const unsigned int MAX_LAYERS = 32;
    // Drawn after the world and before the HUDs and menus.
    static const unsigned char RENDER_QUEUE_GROUP = 80;

    // Throws Ogre::InvalidParametersException for more than MAX_LAYERS layers.
    LabelManager(Ogre::SceneManager* sceneManager, Ogre::SceneNode* node, const std::string& fontName,
                 unsigned int layerCount);
    virtual ~LabelManager();
    LabelManager(const LabelManager&) = delete;
    LabelManager& operator=(const LabelManager&) = delete;

    // Takes ownership. A second factory for a type already registered is deleted unused.
    void registerLabelType(LabelFactory* factory);
    // The manager owns the label. Throws Ogre::InvalidParametersException for a type
    // without a factory.
    Label* addLabel(const std::string& type, const Ogre::Vector3& position);
    // Deletes the label; a label this manager does not hold is left alone.
    void removeLabel(Label* label);
    void removeLabels();
    // Removes expired labels, steps the others and rebuilds the layers that changed.
    void update(float seconds);
    // An index at or above the layer count is ignored.
    void setLayerVisibilityFlags(unsigned int layer, unsigned int flags);
    void setVisible(bool visible);

private:
    Ogre::SceneManager* mSceneManager;
    Ogre::SceneNode* mNode;
    std::string mFontName;
    std::map<std::string, LabelFactory*> mFactories;
    std::vector<Ogre::ManualObject*> mLayers;
    std::list<Label*> mLabels;
    unsigned int mDirtyLayers;
};
} // namespace brix
