#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"

#include <algorithm>
#include <cstdlib>

namespace {

using namespace tarnwick;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// Follows the framer through a stream, checking that every byte appended is accounted for and that
/// each frame handed out re-encodes to exactly the stream bytes it was cut from.
class StreamCheck {
public:
    explicit StreamCheck(ByteView stream) : stream_(stream) {}

    /// Feeds the next slice, appended or placed in the framer's receive space; false once the framer
    /// has reported an error.
    bool feed(std::size_t sliceSize, bool drainAll, bool inPlace) {
        const auto slice = stream_.subspan(appended_, std::min(sliceSize, stream_.size() - appended_));
        if (inPlace) {
            const auto space = framer_.receiveSpace(slice.size());
            require(space.size() <= slice.size());
            std::copy_n(slice.begin(), space.size(), space.begin());
            framer_.commitReceived(space.size());
            appended_ += space.size();
        } else {
            framer_.append(slice);
            appended_ += slice.size();
        }
        return drainAll ? drain() : takeOne();
    }

    bool finished() const { return appended_ == stream_.size(); }

    bool drain() {
        const std::size_t before = framer_.bufferedByteCount();
        try {
            for (const auto& frame : framer_.drain()) {
                check(frame);
            }
        } catch (const TWCPError& error) {
            // Frames taken before the error are gone, so only the repetition can be checked here.
            expectRepeated(error, framer_.bufferedByteCount() <= before);
            return false;
        }
        checkAccounting();
        return true;
    }

private:
    bool takeOne() {
        const std::size_t before = framer_.bufferedByteCount();
        try {
            if (const auto frame = framer_.nextFrame()) {
                check(*frame);
            }
        } catch (const TWCPError& error) {
            expectRepeated(error, framer_.bufferedByteCount() == before);
            return false;
        }
        checkAccounting();
        return true;
    }

    void check(const TWCPFrame& frame) {
        require(frame.header.payloadLength == frame.payload.size());
        const Bytes encoded = frame.encode();
        require(consumed_ + encoded.size() <= appended_);
        require(std::equal(encoded.begin(), encoded.end(),
                           stream_.begin() + static_cast<std::ptrdiff_t>(consumed_)));
        consumed_ += encoded.size();
    }

    // Whatever has not been handed out is buffered, apart from the 20 bytes of a pending header.
    void checkAccounting() const {
        const std::size_t held = appended_ - consumed_ - framer_.bufferedByteCount();
        require(held == 0 || held == TWCP::headerSize);
    }

    void expectRepeated(const TWCPError& error, bool unchanged) {
        require(unchanged && error.code() >= 1001 && error.code() <= 1004);
        const std::size_t before = framer_.bufferedByteCount();
        try {
            framer_.nextFrame();
            require(false);
        } catch (const TWCPError& again) {
            require(again == error && framer_.bufferedByteCount() == before);
        }
        framer_.reset();
        require(framer_.bufferedByteCount() == 0 && !framer_.nextFrame());
    }

    ByteView stream_;
    TWCPFramer framer_;
    std::size_t appended_ = 0;
    std::size_t consumed_ = 0;
};

} // namespace

// The first byte says how many slice-size bytes follow (1 to 8); the rest is the stream, fed in slices
// of those sizes in turn. An odd size byte drains after its slice, an even one takes a single frame; with
// its second bit set the slice is placed in the receive space instead of appended.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t sizeCount = std::min<std::size_t>(data[0] % 8 + 1, size - 1);
    const ByteView sizes(data + 1, sizeCount);
    const ByteView stream(data + 1 + sizeCount, size - 1 - sizeCount);
    StreamCheck check(stream);
    for (std::size_t i = 0; !check.finished(); ++i) {
        const std::uint8_t sizeByte = sizes[i % sizes.size()];
        if (!check.feed(sizeByte + 1u, sizeByte % 2 == 1, (sizeByte & 2) != 0)) {
            return 0;
        }
    }
    check.drain();
    return 0;
}
