#include "ConnectCore/Discovery/DiscoveredPeer.hpp"
#include "ConnectCore/Discovery/TXTRecord.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The input is TXT rdata as it travels: each string is one length byte and that many bytes.
std::vector<std::string> strings(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> result;
    std::size_t offset = 0;
    while (offset < size) {
        const std::size_t length = std::min<std::size_t>(data[offset], size - offset - 1);
        result.emplace_back(reinterpret_cast<const char*>(data + offset + 1), length);
        offset += 1 + length;
    }
    return result;
}

} // namespace

// Whatever a device on the network publishes, the record reads without fault, every key it keeps can be
// written again to the same record, and a peer is made only from "pid" and "spki" values.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    const auto record = TXTRecord::decode(strings(data, size));
    for (const auto& entry : record.entries()) {
        require(!entry.key.empty() && entry.key.find('=') == std::string::npos);
    }
    require(TXTRecord::decode(record.encode()) == record);
    const auto peer = DiscoveredPeer::fromService("name", record, {});
    require(peer.has_value() == (record.value("pid") && record.value("spki")));
    if (peer) {
        require(peer->id == *record.value("pid") && peer->fingerprint == *record.value("spki"));
    }
    return 0;
}
