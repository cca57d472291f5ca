#include "game/world/controller.h"

#include "engine/core/inputmanager.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

#include <algorithm>

namespace game
{
namespace
{
// Tick a lies after tick b when their difference, taken modulo 65536, is in the upper half.
const unsigned short HALF_TICK_RANGE = 32768;
} // namespace

Controller::Controller(unsigned short nodeId) : mNodeId(nodeId)
{
    // The server's controllers of remote clients run without input devices, and so do tests.
    if (brix::InputManager* input = brix::InputManager::getSingletonPtr())
        input->addListener(this, INPUT_GROUP);
}

Controller::~Controller()
{
    if (brix::InputManager* input = brix::InputManager::getSingletonPtr())
        input->removeListener(this);
}

void Controller::encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                                   unsigned short sequence)
{
    if (node != 0 || mCount == 0 || !stream.encodeTest(BLOCK_SIZE))
        return;
    for (unsigned int i = 0; i < BLOCK_RECORDS; ++i)
    {
        // Until five records are held the oldest stands in for the missing ones: the server
        // drops it as a repeat, where an empty slot would arrive as input for tick 0.
        const unsigned int age = std::min(BLOCK_RECORDS - 1 - i, mCount - 1);
        const TInput& input = mInputs[(mNewest + INPUT_COUNT - age) % INPUT_COUNT];
        stream.encodeUInt16(input.tick);
        stream.encodeUInt8(encodeAxis(input.move));
        stream.encodeUInt8(encodeAxis(input.aimX));
        stream.encodeUInt8(encodeAxis(input.aimY));
        stream.encodeUInt8(static_cast<unsigned char>(input.buttons & 0xFF));
    }
}

void Controller::decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                                   unsigned short sequence)
{
    if (node != mNodeId || !stream.decodeTest(BLOCK_SIZE))
        return;
    for (unsigned int i = 0; i < BLOCK_RECORDS; ++i)
    {
        TInput input;
        input.tick = stream.decodeUInt16();
        input.move = decodeAxis(stream.decodeUInt8());
        input.aimX = decodeAxis(stream.decodeUInt8());
        input.aimY = decodeAxis(stream.decodeUInt8());
        input.buttons = stream.decodeUInt8();
        addInput(input);
    }
}

void Controller::initializeDevice() {}

int Controller::getType() const
{
    return 0;
}

void Controller::update(unsigned short tick) {}

unsigned short Controller::getNodeId() const
{
    return mNodeId;
}

bool Controller::getInput(unsigned short tick, TInput& out) const
{
    if (mCount == 0)
    {
        out = TInput();
        return false;
    }
    unsigned int index = mNewest;
    for (unsigned int step = 1; step < mCount; ++step)
    {
        if (static_cast<unsigned short>(tick - mInputs[index].tick) <= HALF_TICK_RANGE)
            break;
        index = (index + INPUT_COUNT - 1) % INPUT_COUNT;
    }
    // Every record held lies after the tick: the newest stands in for it.
    if (static_cast<unsigned short>(tick - mInputs[index].tick) > HALF_TICK_RANGE)
        index = mNewest;
    out = mInputs[index];
    return out.tick == tick;
}

void Controller::getLatestInput(TInput& out) const
{
    out = mInputs[mNewest];
}

unsigned short Controller::getLatestTick() const
{
    return mInputs[mNewest].tick;
}

Ogre::Vector2 Controller::getPointerDirection() const
{
    return Ogre::Vector2::ZERO;
}

std::string Controller::getControlText(const std::string& action) const
{
    return "";
}

bool Controller::isInfoRequested() const
{
    return false;
}

void Controller::addInput(const TInput& input)
{
    if (mCount > 0 && static_cast<unsigned short>(mInputs[mNewest].tick - input.tick) < STALE_TICKS)
        return;
    mNewest = (mNewest + 1) % INPUT_COUNT;
    mInputs[mNewest] = input;
    mCount = std::min(mCount + 1, INPUT_COUNT);
}

Controller::TInput Controller::asSent(const TInput& input)
{
    TInput sent = input;
    sent.move = decodeAxis(encodeAxis(input.move));
    sent.aimX = decodeAxis(encodeAxis(input.aimX));
    sent.aimY = decodeAxis(encodeAxis(input.aimY));
    sent.buttons = input.buttons & 0xFF;
    return sent;
}

unsigned char Controller::encodeAxis(float value)
{
    return static_cast<unsigned char>((std::clamp(value, -1.0f, 1.0f) + 1.0f) * AXIS_SCALE);
}

float Controller::decodeAxis(unsigned char value)
{
    return std::min(value / AXIS_SCALE - 1.0f, 1.0f);
}
} // namespace game
