#pragma once

#include "tests/Support/HandshakeByHand.hpp"

#include <cstdint>
#include <string>

namespace tarnwick::testing {

/// A relay in the middle at first contact: it terminates TLS on both sides with keys of its own, takes the
/// dial of one device while passing itself off as the other, and dials that other device in the first one's
/// name. Each device runs a handshake with the relay, so the two transcripts differ. Both halves then hold
/// their connections open until the relay goes.
class HandshakeRelay {
public:
    /// Who the relay claims to be on either side.
    struct Disguise {
        std::string deviceID;
        std::string deviceName;
    };

    /// Listens for the first device (on loopback unless told otherwise); returns the port to dial.
    asio::awaitable<std::uint16_t> listen(asio::ip::address address = asio::ip::address_v4::loopback()) {
        return towardsDialler_.listen(address);
    }

    /// Answers the first device's dial as `dialled`; ends once that device has verified the relay's
    /// signature.
    asio::awaitable<void> answer(Disguise dialled) {
        co_await towardsDialler_.accept();
        const auto helloFrame = co_await towardsDialler_.next();
        const auto hello = helloFrame->decode<HelloMessage>(TWCPFrameKind::hello);
        auto ack = towardsDialler_.helloAck();
        ack.deviceID = std::move(dialled.deviceID);
        ack.deviceName = std::move(dialled.deviceName);
        // Frames are taken into variables first: g++ 12 mishandles temporaries inside a co_await expression.
        auto ackFrame = TWCPFrame::json(TWCPFrameKind::helloAck, ack, 0);
        co_await towardsDialler_.send(std::move(ackFrame));
        auto challenge =
            TWCPFrame::json(TWCPFrameKind::authChallenge, AuthChallengeMessage{towardsDialler_.nonce}, 0);
        co_await towardsDialler_.send(std::move(challenge));
        co_await towardsDialler_.next(); // its signature, sent once its user chose "Pair"
        const HandshakeTranscript transcript{hello.spkiSHA256, towardsDialler_.identity.spkiSHA256,
                                             hello.nonce, towardsDialler_.nonce, HandshakeByHand::version};
        auto response =
            TWCPFrame::json(TWCPFrameKind::authResponse, towardsDialler_.signedResponse(transcript), 0);
        co_await towardsDialler_.send(std::move(response));
    }

    /// Dials the second device at `port` (of loopback unless told otherwise) as `dialler`; ends once that
    /// device has sent its signature.
    asio::awaitable<void> dial(std::uint16_t port, Disguise dialler,
                               asio::ip::address address = asio::ip::address_v4::loopback()) {
        co_await towardsDialled_.dial(port, address);
        auto hello = towardsDialled_.hello();
        hello.deviceID = std::move(dialler.deviceID);
        hello.deviceName = std::move(dialler.deviceName);
        auto helloFrame = TWCPFrame::json(TWCPFrameKind::hello, hello, 0);
        co_await towardsDialled_.send(std::move(helloFrame));
        const auto ackFrame = co_await towardsDialled_.next();
        const auto ack = ackFrame->decode<HelloAckMessage>(TWCPFrameKind::helloAck);
        const auto challengeFrame = co_await towardsDialled_.next();
        const auto challenge = challengeFrame->decode<AuthChallengeMessage>(TWCPFrameKind::authChallenge);
        const HandshakeTranscript transcript{towardsDialled_.identity.spkiSHA256, ack.spkiSHA256,
                                             towardsDialled_.nonce, challenge.nonce,
                                             HandshakeByHand::version};
        auto response =
            TWCPFrame::json(TWCPFrameKind::authResponse, towardsDialled_.signedResponse(transcript), 0);
        co_await towardsDialled_.send(std::move(response));
        co_await towardsDialled_.next(); // its signature, sent once its user chose "Pair"
    }

private:
    HandshakeByHand towardsDialler_;
    HandshakeByHand towardsDialled_;
};

} // namespace tarnwick::testing
