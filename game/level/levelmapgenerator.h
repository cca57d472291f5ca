#pragma once
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <OgreAxisAlignedBox.h>
#include <OgreColourValue.h>

#include <cstdint>
#include <memory>
#include <string>

namespace brix
{
class Simulator;
}

namespace game
{
class Level;
class LevelMapSource;

// Bakes an image of a level: samples the level box on a grid of width x height texels from
// a thread of its own, post-processes the texels and writes them as a PNG file. Row 0
// is the top of the level (largest y), column 0 its smallest x. Subclasses say what a sample
// is. The level queues, starts, polls and deletes generators on the main thread.
//
// Threads: start, abort, finish, getState and the destructor belong to the main thread. The
// worker reads only the generator's own copies (the box, what prepare gathered, the cloned
// physics world), never the level, the scene or the main simulator. An abort is seen after
// the row being sampled, and an aborted run writes nothing.
class LevelMapGenerator : public brix::Task
{
public:
    static constexpr uint32_t STATE_IDLE = 0;
    static constexpr uint32_t STATE_RUNNING = 1;
    static constexpr uint32_t STATE_ABORTING = 2;
    static constexpr uint32_t STATE_FINISHED = 3;

    LevelMapGenerator(Level* level, const std::string& file, uint32_t width, uint32_t height);
    // Aborts a run and waits for the thread. Subclasses do the same first, since the worker
    // calls their sample.
    ~LevelMapGenerator() override;
    LevelMapGenerator(const LevelMapGenerator&) = delete;
    LevelMapGenerator& operator=(const LevelMapGenerator&) = delete;

    // The worker's body: samples, post-processes and writes the image.
    void execute() override;

    // Copies the level box, prepares and starts the worker. False, logged, when a run is
    // under way, when the level has no scene to sample, or when no thread could be started.
    bool start();
    // Asks a running worker to stop and waits for its thread to end.
    void abort();
    // After a finished run: the completion step, on the main thread.
    void finish();
    uint32_t getState() const;
    const std::string& getFile() const { return mFile; }

protected:
    // Gathers on the main thread what the worker samples.
    virtual void prepare() {}
    // The colour at (x, y) in the play plane; runs on the worker thread.
    virtual Ogre::ColourValue sample(float x, float y) = 0;
    virtual void postProcess(Ogre::ColourValue* texels, uint32_t width, uint32_t height) {}
    virtual void onFinished() {}

    // Clones the level's physics world for the worker: the level body and every door (closed)
    // made static, stepped once so the ray tests see them.
    void prepareWorld(const LevelMapSource* entities);
    brix::Simulator* getWorld() const { return mWorld.get(); }

    // One pass: each texel equal to the marker takes the mean of its neighbours that are
    // not, or black when it has none; either way it turns opaque.
    static void fillUnsetTexels(Ogre::ColourValue* texels, uint32_t width, uint32_t height,
                                const Ogre::ColourValue& marker);
    // One pass along x or y with 2 x radius + 1 weights; texels past the edge are left out
    // without renormalising. Leaves every texel opaque.
    static void blur(Ogre::ColourValue* texels, uint32_t width, uint32_t height, const float* weights,
                     int radius, bool horizontal);

    Level* mLevel;

private:
    // The texels as an image file of the type its extension names. False, logged, on failure.
    bool writeImage(const Ogre::ColourValue* texels) const;
    void setState(uint32_t state);

    brix::Thread mThread;
    mutable brix::Mutex mMutex;
    uint32_t mState = STATE_IDLE;
    std::string mFile;
    uint32_t mWidth;
    uint32_t mHeight;
    Ogre::AxisAlignedBox mBox;
    std::unique_ptr<brix::Simulator> mWorld;
};
} // namespace game
