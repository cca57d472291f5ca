#include "engine/presentation/decalmanager.h"

#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreHardwareBufferManager.h>
#include <OgreMath.h>
#include <OgreMeshManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>
#include <OgreSubMesh.h>

#include <cstdlib>
#include <map>

namespace brix
{
namespace
{
const char* const DEFINITIONS_FILE = "decals.xml";
const char* const DEFINITIONS_ROOT = "decals";
// The group of the game's "data" folder.
const char* const MESH_GROUP = "default";

Ogre::Vector2 readPair(const XMLElement* parent, const std::string& name)
{
    return Ogre::StringConverter::parseVector2(parent->getValue(name, ""), Ogre::Vector2::ZERO);
}

// One vertex element of a mesh, read from whichever buffer holds it with that buffer's stride.
struct TElementReader
{
    const Ogre::VertexElement* element;
    const unsigned char* base;
    size_t stride;

    const float* at(size_t vertex) const
    {
        float* result = nullptr;
        element->baseVertexPointerToElement(const_cast<unsigned char*>(base + vertex * stride), &result);
        return result;
    }
};
} // namespace

DecalManager::DecalManager(Ogre::SceneManager* sceneManager, const Ogre::Vector3& unused)
    : mSceneManager(sceneManager), mDecalCount(0), mMaximumDecalCount(DEFAULT_MAXIMUM_DECAL_COUNT),
      mObject(nullptr), mDirty(false), mTimeSinceRebuild(0.0f)
{
    mObject = mSceneManager->createManualObject("decals");
    mObject->setDynamic(true);
    mSceneManager->getRootSceneNode()->attachObject(mObject);
}

DecalManager::~DecalManager()
{
    mSceneManager->destroyManualObject(mObject);
    mDecals.clear();
    mSections.clear();
    unloadDecalDefinitions();
}

void DecalManager::initialize()
{
    loadDecalDefinitions();
}

void DecalManager::loadDecalDefinitions()
{
    XMLElement root(DEFINITIONS_ROOT);
    std::string error;
    if (root.load(DEFINITIONS_FILE) < 0)
        error = XMLElement::getLastError();
    else if (root.getName() != DEFINITIONS_ROOT)
        error = "Root element is '" + root.getName() + "', not '" + DEFINITIONS_ROOT + "'";
    if (!error.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND, "Error loading decal definitions: " + error,
                    "DecalManager::loadDecalDefinitions");

    for (const XMLElement* element = root.getChild("decal"); element;
         element = root.getNextChild(element, "decal"))
    {
        TDecalDefinition definition;
        definition.id = static_cast<uint32_t>(element->getValueAsInteger("id", 0));
        definition.name = element->getValue("name", "");
        definition.randomScale = element->getValueAsFloat("randomscale", 0.0f);
        definition.spacing = element->getValueAsFloat("spacing", 0.0f);

        for (const XMLElement* mesh = element->getChild("mesh"); mesh;
             mesh = element->getNextChild(mesh, "mesh"))
        {
            TDecalSource source;
            // Shadow copies keep the data readable without asking the GPU for it.
            source.mesh = Ogre::MeshManager::getSingleton().load(
                mesh->getValue(), MESH_GROUP, Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY,
                Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true, true);
            if (source.mesh->getNumSubMeshes() > 0)
                source.material = source.mesh->getSubMesh(0)->getMaterialName();
            source.size = source.uv1 = source.uv2 = Ogre::Vector2::ZERO;
            definition.sources.push_back(source);
        }
        for (const XMLElement* quad = element->getChild("quad"); quad;
             quad = element->getNextChild(quad, "quad"))
        {
            TDecalSource source;
            source.material = quad->getValue("material", "");
            source.size = readPair(quad, "size");
            source.uv1 = readPair(quad, "uv1");
            source.uv2 = readPair(quad, "uv2");
            definition.sources.push_back(source);
        }
        if (definition.sources.empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        "No geometry defined for decal '" + definition.name + "'",
                        "DecalManager::loadDecalDefinitions");
        for (const TDecalSource& source : definition.sources)
            addSection(source.material);
        mDefinitions.push_back(definition);
        Log::info("Decal '%s' definition loaded", definition.name.c_str());
    }
}

void DecalManager::unloadDecalDefinitions()
{
    mDefinitions.clear();
}

const DecalManager::TDecalDefinition* DecalManager::getDefinition(const std::string& name) const
{
    for (const TDecalDefinition& definition : mDefinitions)
        if (definition.name == name)
            return &definition;
    OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Decal definition not found ('" + name + "')",
                "DecalManager::getDefinition");
}

const DecalManager::TDecalDefinition* DecalManager::getDefinition(uint32_t id) const
{
    for (const TDecalDefinition& definition : mDefinitions)
        if (definition.id == id)
            return &definition;
    OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND,
                "Decal definition not found (" + std::to_string(id) + ")", "DecalManager::getDefinition");
}

void DecalManager::addSection(const std::string& material)
{
    for (const TDecalSection& section : mSections)
        if (section.material == material)
            return;
    mSections.push_back(TDecalSection{nullptr, 0, material, false});
}

void DecalManager::createDecal(const std::string& name, const Ogre::Vector3& position,
                               const Ogre::Quaternion& orientation)
{
    if (mMaximumDecalCount == 0)
        return;
    const TDecalDefinition* definition = nullptr;
    try
    {
        definition = getDefinition(name);
    }
    catch (const Ogre::ItemIdentityException& e)
    {
        Log::error(e.getDescription());
        return;
    }

    TDecalInstance decal;
    decal.definition = definition;
    decal.position = position;
    decal.orientation = orientation;
    decal.scale = 1.0f + Ogre::Math::SymmetricRandom() * definition->randomScale;
    decal.sourceIndex = static_cast<uint32_t>(std::rand()) % definition->sources.size();
    if (testDecalOverlap(definition, position))
        return;

    mDecals.push_front(decal);
    updateSection(decal);
    if (mDecalCount >= mMaximumDecalCount)
        removeOldestDecal();
    else
        ++mDecalCount;
}

bool DecalManager::testDecalOverlap(const TDecalDefinition* definition, const Ogre::Vector3& position)
{
    if (definition->spacing <= 0.0f)
        return false;
    const float limit = definition->spacing * definition->spacing;
    for (auto decal = mDecals.begin(); decal != mDecals.end(); ++decal)
    {
        if (decal->definition == definition && decal->position.squaredDistance(position) < limit)
        {
            // The close one now counts as the newest, and so is the last to be dropped.
            mDecals.splice(mDecals.begin(), mDecals, decal);
            return true;
        }
    }
    return false;
}

void DecalManager::removeOldestDecal()
{
    updateSection(mDecals.back());
    mDecals.pop_back();
}

void DecalManager::updateSection(const TDecalInstance& decal)
{
    const std::string& material = decal.definition->sources[decal.sourceIndex].material;
    for (TDecalSection& section : mSections)
    {
        if (section.material == material)
        {
            section.dirty = true;
            mDirty = true;
            return;
        }
    }
}

void DecalManager::setMaximumDecalCount(uint32_t count)
{
    mMaximumDecalCount = count;
    while (mDecalCount > mMaximumDecalCount)
    {
        removeOldestDecal();
        --mDecalCount;
    }
}

void DecalManager::destroyAllDecals()
{
    mDecals.clear();
    mDecalCount = 0;
    for (TDecalSection& section : mSections)
        section.dirty = true;
    mDirty = true;
    rebuildGeometry();
}

void DecalManager::update(float seconds)
{
    if (mDirty && mTimeSinceRebuild > MIN_REBUILD_INTERVAL)
    {
        rebuildGeometry();
        mTimeSinceRebuild = 0.0f;
    }
    mTimeSinceRebuild += seconds;
}

void DecalManager::rebuildGeometry()
{
    for (TDecalSection& section : mSections)
    {
        if (!section.dirty)
            continue;
        if (section.section)
        {
            mObject->beginUpdate(section.sectionIndex);
        }
        else
        {
            section.sectionIndex = static_cast<uint32_t>(mObject->getSections().size());
            mObject->begin(section.material, Ogre::RenderOperation::OT_TRIANGLE_LIST, Ogre::RGN_AUTODETECT);
        }
        for (const TDecalInstance& decal : mDecals)
        {
            const TDecalSource& source = decal.definition->sources[decal.sourceIndex];
            if (source.material == section.material)
                addGeometry(mObject, &source, decal.position, decal.orientation, decal.scale);
        }
        // A first build without geometry gives no section: it is made when there is some.
        if (Ogre::ManualObject::ManualObjectSection* built = mObject->end())
            section.section = built;
        section.dirty = false;
    }
    mDirty = false;
}

void DecalManager::addGeometry(Ogre::ManualObject* object, const TDecalSource* source,
                               const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                               float scale)
{
    const uint32_t base = static_cast<uint32_t>(object->getCurrentVertexCount());
    if (!source->mesh)
    {
        const Ogre::Vector3 normal = orientation * Ogre::Vector3::UNIT_X;
        const float h = source->size.y / 2, w = source->size.x / 2;
        const Ogre::Vector3 corners[4] = {Ogre::Vector3(0, h, -w), Ogre::Vector3(0, h, w),
                                          Ogre::Vector3(0, -h, w), Ogre::Vector3(0, -h, -w)};
        const Ogre::Vector2 uvs[4] = {source->uv1, Ogre::Vector2(source->uv2.x, source->uv1.y), source->uv2,
                                      Ogre::Vector2(source->uv1.x, source->uv2.y)};
        for (int i = 0; i < 4; ++i)
        {
            object->position(position + scale * (orientation * corners[i]));
            object->normal(normal);
            object->textureCoord(uvs[i]);
        }
        object->triangle(base, base + 2, base + 1);
        object->triangle(base, base + 3, base + 2);
        return;
    }

    if (source->mesh->getNumSubMeshes() == 0)
        return;
    const Ogre::SubMesh* subMesh = source->mesh->getSubMesh(0);
    const Ogre::VertexData* vertexData =
        subMesh->useSharedVertices ? source->mesh->sharedVertexData : subMesh->vertexData;
    const Ogre::IndexData* indexData = subMesh->indexData;
    if (!vertexData || !indexData || !indexData->indexBuffer)
        return;
    const Ogre::VertexDeclaration* declaration = vertexData->vertexDeclaration;
    const Ogre::VertexElement* elements[3] = {
        declaration->findElementBySemantic(Ogre::VES_POSITION),
        declaration->findElementBySemantic(Ogre::VES_NORMAL),
        declaration->findElementBySemantic(Ogre::VES_TEXTURE_COORDINATES, 0)};
    // Each element is read as that many floats: a smaller or other type would read past it.
    const unsigned short floatsNeeded[3] = {3, 3, 2};
    for (int i = 0; i < 3; ++i)
        if (!elements[i] || Ogre::VertexElement::getBaseType(elements[i]->getType()) != Ogre::VET_FLOAT1 ||
            Ogre::VertexElement::getTypeCount(elements[i]->getType()) < floatsNeeded[i])
            return;

    // Position, normal and texture coordinates may each live in a buffer of their own: lock each
    // buffer once and read every element with its own buffer's stride.
    std::map<unsigned short, Ogre::HardwareBufferLockGuard> locks;
    TElementReader readers[3];
    for (int i = 0; i < 3; ++i)
    {
        const unsigned short bufferIndex = elements[i]->getSource();
        if (!vertexData->vertexBufferBinding->isBufferBound(bufferIndex))
            return;
        const Ogre::HardwareVertexBufferSharedPtr& buffer =
            vertexData->vertexBufferBinding->getBuffer(bufferIndex);
        if (vertexData->vertexStart + vertexData->vertexCount > buffer->getNumVertices())
            return;
        auto lock = locks.find(bufferIndex);
        if (lock == locks.end())
            lock = locks
                       .emplace(std::piecewise_construct, std::forward_as_tuple(bufferIndex),
                                std::forward_as_tuple(buffer, Ogre::HardwareBuffer::HBL_READ_ONLY))
                       .first;
        // An element that does not fit in its buffer's vertex would be read from the next vertex,
        // or past the buffer's end.
        if (elements[i]->getOffset() + elements[i]->getSize() > buffer->getVertexSize())
            return;
        readers[i].element = elements[i];
        readers[i].stride = buffer->getVertexSize();
        readers[i].base = static_cast<const unsigned char*>(lock->second.pData) +
                          vertexData->vertexStart * readers[i].stride;
    }

    if (indexData->indexStart + indexData->indexCount > indexData->indexBuffer->getNumIndexes())
        return;
    Ogre::HardwareBufferLockGuard indexLock(indexData->indexBuffer, Ogre::HardwareBuffer::HBL_READ_ONLY);
    const bool wide = indexData->indexBuffer->getType() == Ogre::HardwareIndexBuffer::IT_32BIT;
    std::vector<uint32_t> indices(indexData->indexCount);
    for (size_t i = 0; i < indices.size(); ++i)
    {
        const size_t at = indexData->indexStart + i;
        indices[i] = wide ? static_cast<const uint32_t*>(indexLock.pData)[at]
                          : static_cast<const uint16_t*>(indexLock.pData)[at];
        // An index past the mesh's vertices would point at another decal's, or past the section.
        if (indices[i] >= vertexData->vertexCount)
            return;
    }

    for (size_t v = 0; v < vertexData->vertexCount; ++v)
    {
        const float* p = readers[0].at(v);
        const float* n = readers[1].at(v);
        const float* t = readers[2].at(v);
        object->position(orientation * Ogre::Vector3(p[0], p[1], p[2]) + position);
        object->normal(orientation * Ogre::Vector3(n[0], n[1], n[2]));
        object->textureCoord(t[0], t[1]);
    }
    for (uint32_t index : indices)
        object->index(base + index);
}
} // namespace brix
