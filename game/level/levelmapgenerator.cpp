#include "game/level/levelmapgenerator.h"

#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/level/levelmapsource.h"
#include "game/level/levelpoint.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreImage.h>

#include <vector>

namespace game
{
namespace
{
// The clone is stepped once so that the ray tests find the static bodies.
const float WORLD_SETTLE_TIME = 0.05f;

// Creates a static body of the template in the world, placed and at rest.
void addStaticBody(brix::Simulator& world, const std::string& name, const Ogre::Vector3& position,
                   const Ogre::Quaternion& orientation)
{
    brix::Body* body = world.createBody(name);
    body->deploy(position, orientation, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    body->setStatic(true, true);
}
} // namespace

LevelMapGenerator::LevelMapGenerator(Level* level, const std::string& file, uint32_t width, uint32_t height)
    : mLevel(level), mFile(file), mWidth(width), mHeight(height)
{
}

LevelMapGenerator::~LevelMapGenerator()
{
    abort();
}

uint32_t LevelMapGenerator::getState() const
{
    mMutex.lock();
    const uint32_t state = mState;
    mMutex.unlock();
    return state;
}

void LevelMapGenerator::setState(uint32_t state)
{
    mMutex.lock();
    mState = state;
    mMutex.unlock();
}

bool LevelMapGenerator::start()
{
    const uint32_t state = getState();
    if (state != STATE_IDLE && state != STATE_FINISHED)
        return false;
    // The worker must not sample a level that has no box or body yet.
    const Ogre::AxisAlignedBox& box = mLevel->getBoundingBox();
    if (!box.isFinite() || !mLevel->getSimulator()->hasTemplate(Level::LEVEL_BODY))
    {
        brix::Log::error("Level map '%s' needs the level's scene", mFile.c_str());
        return false;
    }
    // A finished worker may still be on its way out; nothing else runs, so no lock is held.
    mThread.wait();
    mBox = box;
    prepare();
    setState(STATE_RUNNING);
    if (!mThread.start(this))
    {
        brix::Log::error("Level map '%s' thread could not be started", mFile.c_str());
        setState(STATE_IDLE);
        return false;
    }
    return true;
}

void LevelMapGenerator::abort()
{
    mMutex.lock();
    if (mState == STATE_RUNNING)
        mState = STATE_ABORTING;
    mMutex.unlock();
    // Joined without the lock: the worker takes it once per row.
    mThread.wait();
}

void LevelMapGenerator::finish()
{
    if (getState() == STATE_FINISHED)
        onFinished();
}

void LevelMapGenerator::execute()
{
    brix::Log::debug("Generating level map '%s'..", mFile.c_str());
    std::vector<Ogre::ColourValue> texels(size_t(mWidth) * mHeight);
    const Ogre::Vector3 minimum = mBox.getMinimum();
    const Ogre::Vector3 size = mBox.getSize();
    bool aborted = false;
    for (uint32_t row = 0; row < mHeight && !aborted; ++row)
    {
        const float y = minimum.y + (row + 0.5f) * size.y / mHeight;
        Ogre::ColourValue* line = &texels[size_t(mHeight - 1 - row) * mWidth];
        for (uint32_t column = 0; column < mWidth; ++column)
            line[column] = sample(minimum.x + (column + 0.5f) * size.x / mWidth, y);
        mMutex.lock();
        if (mState == STATE_ABORTING)
        {
            mState = STATE_IDLE;
            aborted = true;
        }
        mMutex.unlock();
    }
    if (!aborted)
    {
        postProcess(texels.data(), mWidth, mHeight);
        writeImage(texels.data());
    }
    texels = std::vector<Ogre::ColourValue>();

    mMutex.lock();
    // An abort asked for after the last row still counts as one.
    aborted = mState != STATE_RUNNING;
    mState = aborted ? STATE_IDLE : STATE_FINISHED;
    mMutex.unlock();
    brix::Log::debug(aborted ? "Level map '%s' generating aborted" : "Level map '%s' ready", mFile.c_str());
}

bool LevelMapGenerator::writeImage(const Ogre::ColourValue* texels) const
{
    // Red in the most significant byte of each native word, which is what R8G8B8A8 means.
    std::vector<Ogre::RGBA> words(size_t(mWidth) * mHeight);
    for (size_t index = 0; index < words.size(); ++index)
        words[index] = texels[index].getAsRGBA();
    try
    {
        Ogre::Image image;
        image.loadDynamicImage(reinterpret_cast<Ogre::uchar*>(words.data()), mWidth, mHeight, 1,
                               Ogre::PF_R8G8B8A8);
        // The codec follows the file's extension; it writes beside the file and renames it over.
        image.save(mFile);
        return true;
    }
    catch (const Ogre::Exception& exception)
    {
        brix::Log::error("Level image map saving failed: %s", exception.getDescription().c_str());
    }
    return false;
}

void LevelMapGenerator::prepareWorld(const LevelMapSource* entities)
{
    brix::Simulator* simulator = mLevel->getSimulator();
    mWorld.reset(simulator->clone());
    addStaticBody(*mWorld, Level::LEVEL_BODY, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    for (const LevelPoint& point : mLevel->getPoints())
    {
        std::string bodyTemplate;
        if (point.type != LevelPoint::TYPE_ENTITY || !entities ||
            !entities->getDoorBodyTemplate(point.name, bodyTemplate))
            continue;
        // Doors count as closed; one whose body cannot be built lets the light through.
        try
        {
            if (!simulator->hasTemplate(bodyTemplate))
                OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND,
                            "unknown body template '" + bodyTemplate + "'",
                            "LevelMapGenerator::prepareWorld");
            addStaticBody(*mWorld, bodyTemplate, point.getPosition(), point.orientation);
        }
        catch (const Ogre::Exception& exception)
        {
            brix::Log::error("Door '%s' left out of level map '%s': %s", point.name.c_str(), mFile.c_str(),
                             exception.getDescription().c_str());
        }
    }
    mWorld->update(WORLD_SETTLE_TIME, true);
}

void LevelMapGenerator::fillUnsetTexels(Ogre::ColourValue* texels, uint32_t width, uint32_t height,
                                        const Ogre::ColourValue& marker)
{
    const std::vector<Ogre::ColourValue> before(texels, texels + size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            if (before[size_t(y) * width + x] != marker)
                continue;
            Ogre::ColourValue sum(0.0f, 0.0f, 0.0f, 0.0f);
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                {
                    const int nx = int(x) + dx;
                    const int ny = int(y) + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= int(width) || ny >= int(height))
                        continue;
                    const Ogre::ColourValue& neighbour = before[size_t(ny) * width + nx];
                    if (neighbour == marker)
                        continue;
                    sum += neighbour;
                    ++count;
                }
            if (count >= 2)
                sum /= float(count);
            sum.a = 1.0f;
            texels[size_t(y) * width + x] = sum;
        }
}

void LevelMapGenerator::blur(Ogre::ColourValue* texels, uint32_t width, uint32_t height, const float* weights,
                             int radius, bool horizontal)
{
    const std::vector<Ogre::ColourValue> before(texels, texels + size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            Ogre::ColourValue sum(0.0f, 0.0f, 0.0f, 0.0f);
            for (int k = -radius; k <= radius; ++k)
            {
                const int nx = horizontal ? int(x) + k : int(x);
                const int ny = horizontal ? int(y) : int(y) + k;
                if (nx < 0 || ny < 0 || nx >= int(width) || ny >= int(height))
                    continue;
                sum += before[size_t(ny) * width + nx] * weights[k + radius];
            }
            sum.a = 1.0f;
            texels[size_t(y) * width + x] = sum;
        }
}
} // namespace game
