#include "ConnectCore/Discovery/DiscoveredPeer.hpp"

#include "ConnectCore/Discovery/ConnectService.hpp"

#include <charconv>
#include <cstdint>

namespace tarnwick {
namespace {

PeerCapabilities parseCapabilities(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    std::uint32_t raw = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), raw);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return {};
    }
    return {raw};
}

} // namespace

std::optional<DiscoveredPeer> DiscoveredPeer::fromService(std::string name, const TXTRecord& txt,
                                                          asio::ip::tcp::endpoint endpoint) {
    auto id = txt.value(ConnectService::TXT::deviceID);
    auto fingerprint = txt.value(ConnectService::TXT::fingerprint);
    if (!id || !fingerprint) {
        return std::nullopt;
    }
    const auto capabilities = txt.value(ConnectService::TXT::capabilities);
    return DiscoveredPeer{std::move(*id),
                          std::move(name),
                          std::move(*fingerprint),
                          txt.value(ConnectService::TXT::model),
                          txt.value(ConnectService::TXT::osVersion),
                          capabilities ? parseCapabilities(*capabilities) : PeerCapabilities{},
                          std::move(endpoint)};
}

} // namespace tarnwick
