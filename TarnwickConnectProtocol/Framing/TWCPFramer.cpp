#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <algorithm>
#include <limits>
#include <utility>

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

std::span<std::uint8_t> TWCPFramer::receiveSpace(std::size_t limit) {
    const std::size_t wanted = pendingHeader_ ? pendingHeader_->payloadLength : TWCP::headerSize;
    const std::size_t missing = wanted - std::min(wanted, bufferedByteCount());
    const std::size_t count = std::min(limit, missing);
    makeRoom(count);
    // Room for all that is missing at once, so that filling a payload in steps never moves it.
    buffer_.reserve(std::min(maximumBufferedBytes, buffer_.size() + missing));
    receiveStart_ = buffer_.size();
    buffer_.resize(receiveStart_ + count);
    return std::span(buffer_).subspan(receiveStart_, count);
}

void TWCPFramer::commitReceived(std::size_t count) {
    buffer_.resize(receiveStart_ + std::min(count, buffer_.size() - receiveStart_));
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
    TWCPFrame frame(*pendingHeader_, takePayload(length));
    pendingHeader_.reset();
    return frame;
}

// A buffer that holds exactly the payload becomes the frame's, so a payload received in place is not copied.
Bytes TWCPFramer::takePayload(std::size_t length) {
    if (readOffset_ == 0 && buffer_.size() == length) {
        return std::exchange(buffer_, {});
    }
    const auto payload = unread().first(length);
    Bytes copy(payload.begin(), payload.end());
    consume(length);
    return copy;
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
