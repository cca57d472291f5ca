#pragma once

namespace game
{
// The versions the game goes by, written major << 24 | minor << 16 | patch << 8. The
// application's is written into the levels and the configuration it saves, told to a server
// when joining, signed into high-score uploads and compared with what the update check offers;
// a host, its clients and the match maker's list must share the protocol's.
constexpr unsigned int APPLICATION_VERSION = 0x01040200;
constexpr unsigned int PROTOCOL_VERSION = 0x00150000;
} // namespace game
