#include "support/ogre/manualobjectreader.h"

#include <OgreHardwareBufferManager.h>
#include <OgreManualObject.h>

namespace test
{
SectionContents readSection(const Ogre::ManualObject& object, size_t section)
{
    SectionContents contents;
    const Ogre::RenderOperation* operation = object.getSections().at(section)->getRenderOperation();
    const Ogre::VertexData* vertexData = operation->vertexData;
    const Ogre::VertexDeclaration* declaration = vertexData->vertexDeclaration;
    for (size_t v = 0; v < vertexData->vertexCount; ++v)
    {
        for (const Ogre::VertexElement& element : declaration->getElements())
        {
            Ogre::HardwareVertexBufferSharedPtr buffer =
                vertexData->vertexBufferBinding->getBuffer(element.getSource());
            const auto* base =
                static_cast<const unsigned char*>(buffer->lock(Ogre::HardwareBuffer::HBL_READ_ONLY));
            const unsigned char* at = base + (vertexData->vertexStart + v) * buffer->getVertexSize();
            float* f = nullptr;
            element.baseVertexPointerToElement(const_cast<unsigned char*>(at), &f);
            const auto* bytes = reinterpret_cast<const unsigned char*>(f);
            switch (element.getSemantic())
            {
            case Ogre::VES_POSITION:
                contents.positions.emplace_back(f[0], f[1], f[2]);
                break;
            case Ogre::VES_TEXTURE_COORDINATES:
                contents.uvs.emplace_back(f[0], f[1]);
                break;
            case Ogre::VES_DIFFUSE:
                if (element.getType() == Ogre::VET_COLOUR_ARGB)
                    contents.colours.emplace_back(bytes[2] / 255.0f, bytes[1] / 255.0f, bytes[0] / 255.0f,
                                                  bytes[3] / 255.0f);
                else
                    contents.colours.emplace_back(bytes[0] / 255.0f, bytes[1] / 255.0f, bytes[2] / 255.0f,
                                                  bytes[3] / 255.0f);
                break;
            default:
                break;
            }
            buffer->unlock();
        }
    }
    const Ogre::IndexData* indexData = operation->indexData;
    if (indexData && indexData->indexCount > 0)
    {
        Ogre::HardwareIndexBufferSharedPtr buffer = indexData->indexBuffer;
        const void* data = buffer->lock(Ogre::HardwareBuffer::HBL_READ_ONLY);
        for (size_t i = 0; i < indexData->indexCount; ++i)
        {
            const size_t at = indexData->indexStart + i;
            if (buffer->getType() == Ogre::HardwareIndexBuffer::IT_32BIT)
                contents.indices.push_back(static_cast<const uint32_t*>(data)[at]);
            else
                contents.indices.push_back(static_cast<const uint16_t*>(data)[at]);
        }
        buffer->unlock();
    }
    return contents;
}
} // namespace test
