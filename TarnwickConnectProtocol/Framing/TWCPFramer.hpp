#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Framing/TWCP.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPHeader.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

/// Cuts a byte stream arriving in arbitrary slices back into frames. Owned by one connection.
/// A header error leaves the bad bytes in front, so every later call fails the same way: the owner
/// treats any error as the end of the connection.
class TWCPFramer {
public:
    /// One header plus the largest payload: the most bytes ever buffered.
    static constexpr std::size_t maximumBufferedBytes = TWCP::headerSize + TWCP::maxPayloadLength;

    /// Adds received bytes. Throws `payloadTooLarge` with the would-be total (clamped to 32 bits) when
    /// that exceeds `maximumBufferedBytes`; the bytes are then discarded and the buffer kept as it was.
    void append(ByteView bytes);

    /// Room for a reader that places received bytes straight into the framer instead of passing them to
    /// `append`: exactly what the pending header or payload still lacks, at most `limit` bytes. Fill it and
    /// call `commitReceived`, then take frames with `nextFrame`. Read this way, a payload becomes its
    /// frame's without being copied.
    std::span<std::uint8_t> receiveSpace(std::size_t limit);
    /// Keeps the first `count` bytes of the last `receiveSpace` and forgets the rest of it.
    void commitReceived(std::size_t count);

    /// The next complete frame, or none while more bytes are needed. Header errors are rethrown with
    /// nothing consumed.
    std::optional<TWCPFrame> nextFrame();

    /// Every complete frame, in wire order. On an error the frames already taken out in this call
    /// are lost; owners that must keep them call `nextFrame()` in a loop instead.
    std::vector<TWCPFrame> drain();

    /// Forgets everything buffered, including a pending header.
    void reset();

    /// The header of the frame whose payload is still arriving, once `nextFrame` has decoded it.
    const std::optional<TWCPHeader>& pendingHeader() const { return pendingHeader_; }

    /// Bytes received and not yet consumed; a pending header's 20 bytes no longer count.
    std::size_t bufferedByteCount() const { return buffer_.size() - readOffset_; }

private:
    ByteView unread() const;
    void consume(std::size_t count);
    void makeRoom(std::size_t count);
    Bytes takePayload(std::size_t length);

    // Consumed bytes stay in front of `readOffset_` until compaction, so taking many small frames
    // from a large buffer stays linear.
    Bytes buffer_;
    std::size_t readOffset_ = 0;
    std::optional<TWCPHeader> pendingHeader_;
    std::size_t receiveStart_ = 0;
};

} // namespace tarnwick
