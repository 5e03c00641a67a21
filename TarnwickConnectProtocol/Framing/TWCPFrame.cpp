#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <limits>
#include <utility>

namespace tarnwick {
namespace {

std::uint32_t payloadLengthOf(const Bytes& payload) {
    if (payload.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw TWCPError::payloadTooLarge(std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(payload.size());
}

} // namespace

TWCPFrame::TWCPFrame(TWCPHeader header, Bytes payload) : header(header), payload(std::move(payload)) {}

TWCPFrame::TWCPFrame(TWCPFrameKind kind, TWCPFrameFlags flags, std::uint64_t streamID, Bytes payload)
    : header{kind, flags, streamID, payloadLengthOf(payload)},
      payload(std::move(payload)) {}

Bytes TWCPFrame::encode() const {
    Bytes bytes = header.encode();
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

void TWCPFrame::requireKind(TWCPFrameKind expecting) const {
    if (header.kind != expecting) {
        throw TWCPError::malformedPayload(std::string("expected ") + caseName(expecting) + ", got " +
                                          caseName(header.kind));
    }
}

} // namespace tarnwick
