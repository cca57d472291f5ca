#pragma once
#include "engine/core/inputlistener.h"
#include "network/networkobject.h"

#include <OgreVector.h>

#include <string>

namespace game
{
// A player's source of input, one record per tick, and the network object (id 5) that
// carries those records from a client to the server. The base class keeps the last
// INPUT_COUNT records, answers which input held at a tick, and encodes and decodes the
// newest ones; subclasses sample a device in update(). The server uses the base class itself
// for a remote client, filled only from the network.
//
// Controller block on the wire, sent only to the server (node 0) and only once a record is
// held: the BLOCK_RECORDS newest records, oldest first (the oldest held repeated while fewer
// are held), RECORD_SIZE bytes each:
//   UInt16 tick
//   UInt8  move, UInt8 aim x, UInt8 aim y: (value + 1) x AXIS_SCALE, truncated; a byte b reads
//          back as b / AXIS_SCALE - 1, clamped to -1..1
//   UInt8  buttons, the low 8 bits
class Controller : public brix::NetworkObject, public brix::InputListener
{
public:
    // One tick of a player's input.
    struct TInput
    {
        // The application tick the record belongs to; wraps at 65536.
        unsigned short tick = 0;
        // Walk direction along x, -1 to 1.
        float move = 0.0f;
        // The aim vector, each component -1 to 1.
        float aimX = 0.0f;
        float aimY = 0.0f;
        // Button bits; only the low 8 travel.
        unsigned int buttons = 0;
    };

    enum Button : unsigned int
    {
        BUTTON_SHOOT = 1,
        BUTTON_SWITCH = 2,
        BUTTON_RELOAD = 4,
        BUTTON_JUMP = 8,
        BUTTON_CROUCH = 16,
        BUTTON_INTERACT = 32,
        BUTTON_SHIELD = 64
    };

    static constexpr unsigned int INPUT_COUNT = 50;
    static constexpr unsigned int BLOCK_RECORDS = 5;
    static constexpr unsigned int RECORD_SIZE = 6;
    static constexpr unsigned int BLOCK_SIZE = BLOCK_RECORDS * RECORD_SIZE;
    static constexpr float AXIS_SCALE = 127.0f;
    // A record less than this many ticks before the newest one is a repeat or stale, and is
    // dropped; one further back is taken as newer, the tick counter having wrapped.
    static constexpr unsigned int STALE_TICKS = 100;
    // The input manager's listener group of game-play controls.
    static constexpr unsigned int INPUT_GROUP = 2;

    // nodeId: 0 for a client's own controller, a remote client's node (slot + 1) for the
    // server's controller of that client. Registers with the input manager when there is one.
    explicit Controller(unsigned short nodeId);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    void encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                           unsigned short sequence) override;
    void decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                           unsigned short sequence) override;

    // Opens or re-opens the device a subclass reads.
    virtual void initializeDevice();
    // 0 for the base class; keyboard 1, keyboard with mouse 2, gamepad 3 + its index.
    virtual int getType() const;
    // Samples the device and stores the record for the tick.
    virtual void update(unsigned short tick);
    virtual unsigned short getNodeId() const;
    // The newest record not later than the tick (the newest held when all are later); true
    // only when its tick is exactly the one asked for. False with a zero record when empty.
    virtual bool getInput(unsigned short tick, TInput& out) const;
    virtual void getLatestInput(TInput& out) const;
    virtual unsigned short getLatestTick() const;
    // The mouse aim vector; zero without mouse aiming.
    virtual Ogre::Vector2 getPointerDirection() const;
    // The key or button that does an action, for hints; empty when unknown.
    virtual std::string getControlText(const std::string& action) const;
    virtual bool isInfoRequested() const;

    // Stores a record newer than the newest held, overwriting the oldest; drops any other.
    void addInput(const TInput& input);
    // The record as the server reads it back from the block: axes rounded to their byte,
    // buttons cut to 8 bits. A client predicts from this, so that it turns the way the server does.
    static TInput asSent(const TInput& input);

private:
    static unsigned char encodeAxis(float value);
    static float decodeAxis(unsigned char value);

    unsigned short mNodeId;
    TInput mInputs[INPUT_COUNT];
    unsigned int mNewest = 0;
    // Records held, up to INPUT_COUNT; an empty ring takes any record.
    unsigned int mCount = 0;
};
} // namespace game
