#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tarnwick {

/// What a frame carries. Values are grouped: 1–4 handshake, 10–16 file transfer, 30–35 live preview and
/// byte ranges, 60–63 connection control; every other byte is an unknown kind.
enum class TWCPFrameKind : std::uint8_t {
    hello = 1,
    helloAck = 2,
    authChallenge = 3,
    authResponse = 4,
    offer = 10,
    accept = 11,
    reject = 12,
    chunk = 13,
    flow = 14,
    complete = 15,
    resume = 16,
    currentFile = 30,
    rangeRequest = 31,
    rangeData = 32,
    rangeEnd = 33,
    rangeCancel = 34,
    rangeError = 35,
    ping = 60,
    pong = 61,
    cancel = 62,
    error = 63,
};

/// Every kind, in declaration order.
const std::array<TWCPFrameKind, 21>& allFrameKinds();

/// The case name as written in the code ("helloAck"), used wherever a kind is printed.
const char* caseName(TWCPFrameKind kind);

/// True for `chunk` and `rangeData`, whose payload is binary; every other kind carries JSON or nothing.
bool hasBinaryPayload(TWCPFrameKind kind);

/// The kind with this wire value, or none for an unknown byte.
std::optional<TWCPFrameKind> frameKindFromRaw(std::uint8_t raw);

} // namespace tarnwick
