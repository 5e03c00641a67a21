#include "TarnwickConnectProtocol/Framing/TWCPFrameKind.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

using Kind = TWCPFrameKind;

struct KindName {
    Kind kind;
    const char* name;
};

constexpr std::array<KindName, 21> kindNames{{
    {Kind::hello, "hello"},
    {Kind::helloAck, "helloAck"},
    {Kind::authChallenge, "authChallenge"},
    {Kind::authResponse, "authResponse"},
    {Kind::offer, "offer"},
    {Kind::accept, "accept"},
    {Kind::reject, "reject"},
    {Kind::chunk, "chunk"},
    {Kind::flow, "flow"},
    {Kind::complete, "complete"},
    {Kind::resume, "resume"},
    {Kind::currentFile, "currentFile"},
    {Kind::rangeRequest, "rangeRequest"},
    {Kind::rangeData, "rangeData"},
    {Kind::rangeEnd, "rangeEnd"},
    {Kind::rangeCancel, "rangeCancel"},
    {Kind::rangeError, "rangeError"},
    {Kind::ping, "ping"},
    {Kind::pong, "pong"},
    {Kind::cancel, "cancel"},
    {Kind::error, "error"},
}};

const KindName* find(std::uint8_t raw) {
    const auto* found = std::find_if(kindNames.begin(), kindNames.end(), [raw](const KindName& entry) {
        return static_cast<std::uint8_t>(entry.kind) == raw;
    });
    return found == kindNames.end() ? nullptr : found;
}

} // namespace

const std::array<TWCPFrameKind, 21>& allFrameKinds() {
    static const auto kinds = [] {
        std::array<TWCPFrameKind, 21> list{};
        std::transform(kindNames.begin(), kindNames.end(), list.begin(),
                       [](const KindName& entry) { return entry.kind; });
        return list;
    }();
    return kinds;
}

const char* caseName(TWCPFrameKind kind) {
    // Only a value cast from an unchecked byte can miss the table.
    const auto* entry = find(static_cast<std::uint8_t>(kind));
    return entry ? entry->name : "unknown";
}

bool hasBinaryPayload(TWCPFrameKind kind) {
    return kind == Kind::chunk || kind == Kind::rangeData;
}

std::optional<TWCPFrameKind> frameKindFromRaw(std::uint8_t raw) {
    const auto* entry = find(raw);
    return entry ? std::optional(entry->kind) : std::nullopt;
}

} // namespace tarnwick
