#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthChallengeMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthResponseMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CurrentFileMessage.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeCancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeEndMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeRequestMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"

#include <array>
#include <cstdlib>

namespace {

using namespace tarnwick;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A document either fails as a malformed payload naming the type, or decodes to a value that encodes
// without error, decodes back equal, and encodes again to the same bytes.
template <class Message> void roundTrip(ByteView bytes) {
    Message message;
    try {
        message = TWCPCoding::decode<Message>(bytes);
    } catch (const TWCPError& error) {
        require(error == TWCPError::malformedPayload(Message::typeName));
        return;
    }
    const Bytes encoded = TWCPCoding::encode(message);
    const auto again = TWCPCoding::decode<Message>(encoded);
    require(again == message && TWCPCoding::encode(again) == encoded);
}

constexpr std::array<void (*)(ByteView), 16> roundTrips{
    &roundTrip<HelloMessage>,        &roundTrip<HelloAckMessage>,    &roundTrip<AuthChallengeMessage>,
    &roundTrip<AuthResponseMessage>, &roundTrip<FileDescriptor>,     &roundTrip<OfferMessage>,
    &roundTrip<AcceptMessage>,       &roundTrip<RejectMessage>,      &roundTrip<FlowMessage>,
    &roundTrip<CompleteMessage>,     &roundTrip<CurrentFileMessage>, &roundTrip<RangeRequestMessage>,
    &roundTrip<RangeEndMessage>,     &roundTrip<RangeCancelMessage>, &roundTrip<ErrorMessage>,
    &roundTrip<CancelMessage>,
};

} // namespace

// The first byte picks the message type; the rest is the document.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    roundTrips[data[0] % roundTrips.size()](ByteView(data + 1, size - 1));
    return 0;
}
