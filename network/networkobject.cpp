#include "network/networkobject.h"
#include "toolkit/log.h"

namespace brix
{
NetworkObject::~NetworkObject() = default;

void NetworkObject::acknowledgeNetworkData(unsigned short, unsigned short) {}

void NetworkObject::encodeNetworkData(unsigned short, NetworkEncodeStream&, unsigned short)
{
    Log::debug("Empty NetworkObject::encodeNetworkData() implementation called");
}

void NetworkObject::decodeNetworkData(unsigned short, NetworkDecodeStream&, unsigned short)
{
    Log::debug("Empty NetworkObject::decodeNetworkData() implementation called");
}
} // namespace brix
