#include "engine/presentation/labelmanager.h"
#include "engine/presentation/label.h"
#include "engine/presentation/labelfactory.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>

namespace brix
{
namespace
{
const unsigned int ALL_LAYERS = 0xFFFFFFFF;
} // namespace

LabelManager::LabelManager(Ogre::SceneManager* sceneManager, Ogre::SceneNode* node,
                           const std::string& fontName, unsigned int layerCount)
    : mSceneManager(sceneManager), mNode(node), mFontName(fontName), mDirtyLayers(0)
{
    if (layerCount > MAX_LAYERS)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "A label manager has at most " + std::to_string(MAX_LAYERS) + " layers",
                    "LabelManager::LabelManager");
    for (unsigned int i = 0; i < layerCount; ++i)
    {
        Ogre::ManualObject* layer = sceneManager->createManualObject();
        layer->setRenderQueueGroup(RENDER_QUEUE_GROUP);
        node->attachObject(layer);
        mLayers.push_back(layer);
    }
}

LabelManager::~LabelManager()
{
    removeLabels();
    for (auto& factory : mFactories)
        delete factory.second;
    for (Ogre::ManualObject* layer : mLayers)
    {
        mNode->detachObject(layer);
        mSceneManager->destroyManualObject(layer);
    }
}

void LabelManager::registerLabelType(LabelFactory* factory)
{
    const std::string type = factory->getType();
    Log::info("Registering label type '%s'", type.c_str());
    auto stored = mFactories.emplace(type, factory);
    // The earlier factory stays; this one was handed over and would otherwise leak.
    if (!stored.second && stored.first->second != factory)
        delete factory;
}

Label* LabelManager::addLabel(const std::string& type, const Ogre::Vector3& position)
{
    auto found = mFactories.find(type);
    if (found == mFactories.end())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No factory for label type '" + type + "' found",
                    "LabelManager::addLabel");
    Label* label = found->second->createLabel(this);
    label->setPosition(position);
    mLabels.push_back(label);
    return label;
}

void LabelManager::removeLabel(Label* label)
{
    auto found = std::find(mLabels.begin(), mLabels.end(), label);
    if (found == mLabels.end())
        return;
    mDirtyLayers |= label->getLayerFlags();
    delete label;
    mLabels.erase(found);
}

void LabelManager::removeLabels()
{
    mDirtyLayers = ALL_LAYERS;
    for (Label* label : mLabels)
        delete label;
    mLabels.clear();
}

void LabelManager::update(float seconds)
{
    for (auto i = mLabels.begin(); i != mLabels.end();)
    {
        Label* label = *i;
        if (label->isExpired())
        {
            mDirtyLayers |= label->getLayerFlags();
            delete label;
            i = mLabels.erase(i);
        }
        else
        {
            mDirtyLayers |= label->update(seconds);
            ++i;
        }
    }
    for (unsigned int layer = 0; layer < mLayers.size(); ++layer)
    {
        const unsigned int bit = 1u << layer;
        if (!(mDirtyLayers & bit))
            continue;
        OgreObjectBuilder builder(mLayers[layer], mFontName, Ogre::Vector2(0.03125f, 0.03125f),
                                  Ogre::Vector2(0.015f, 0.03125f), Ogre::Vector2(0.0475f, 0.03125f));
        builder.begin(true);
        for (Label* label : mLabels)
            if (label->getLayerFlags() & bit)
                label->rebuild(builder);
        builder.end();
    }
    // A label that left a layer is not drawn there, so nothing else clears that bit; left set,
    // it would have the layer rebuilt on every frame.
    for (Label* label : mLabels)
        label->mDirtyLayers &= ~mDirtyLayers;
    mDirtyLayers = 0;
}

void LabelManager::setLayerVisibilityFlags(unsigned int layer, unsigned int flags)
{
    if (layer < mLayers.size())
        mLayers[layer]->setVisibilityFlags(flags);
}

void LabelManager::setVisible(bool visible)
{
    for (Ogre::ManualObject* layer : mLayers)
        layer->setVisible(visible);
}
} // namespace brix
