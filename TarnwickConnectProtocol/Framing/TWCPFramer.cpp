#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <algorithm>
#include <limits>

namespace tarnwick {

void TWCPFramer::append(ByteView bytes) {
    const std::size_t total = bufferedByteCount() + bytes.size();
    if (total > maximumBufferedBytes) {
        throw TWCPError::payloadTooLarge(static_cast<std::uint32_t>(
            std::min<std::size_t>(total, std::numeric_limits<std::uint32_t>::max())));
    }
    makeRoom(bytes.size());
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<TWCPFrame> TWCPFramer::nextFrame() {
    if (!pendingHeader_) {
        if (bufferedByteCount() < TWCP::headerSize) {
            return std::nullopt;
        }
        pendingHeader_ = TWCPHeader::decode(unread());
        consume(TWCP::headerSize);
    }
    const std::size_t length = pendingHeader_->payloadLength;
    if (bufferedByteCount() < length) {
        return std::nullopt;
    }
    const auto payload = unread().first(length);
    TWCPFrame frame(*pendingHeader_, Bytes(payload.begin(), payload.end()));
    consume(length);
    pendingHeader_.reset();
    return frame;
}

std::vector<TWCPFrame> TWCPFramer::drain() {
    std::vector<TWCPFrame> frames;
    while (auto frame = nextFrame()) {
        frames.push_back(std::move(*frame));
    }
    return frames;
}

void TWCPFramer::reset() {
    buffer_.clear();
    readOffset_ = 0;
    pendingHeader_.reset();
}

ByteView TWCPFramer::unread() const {
    return ByteView(buffer_).subspan(readOffset_);
}

void TWCPFramer::consume(std::size_t count) {
    readOffset_ += count;
    if (readOffset_ == buffer_.size()) {
        buffer_.clear();
        readOffset_ = 0;
    }
}

// Consumed bytes are dropped when they outweigh the unread ones (so each byte moves at most about once)
// or when keeping them would take the buffer past the limit; capacity never exceeds the limit either.
void TWCPFramer::makeRoom(std::size_t count) {
    if (readOffset_ >= bufferedByteCount() || buffer_.size() + count > maximumBufferedBytes) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(readOffset_));
        readOffset_ = 0;
    }
    if (buffer_.size() + count > buffer_.capacity()) {
        buffer_.reserve(
            std::min(maximumBufferedBytes, std::max(2 * buffer_.capacity(), buffer_.size() + count)));
    }
}

} // namespace tarnwick
