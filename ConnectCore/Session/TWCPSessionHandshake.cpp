// The handshake half of TWCPSession: the driver, both roles' steps and the pairing confirmation.
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "TarnwickConnectProtocol/Handshake/PairingCode.hpp"
#include "TarnwickConnectProtocol/Messages/AuthChallengeMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthResponseMessage.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

constexpr std::size_t nonceSize = 32;
constexpr std::uint8_t protocolVersion = 1;
// Handshake frames all travel on stream 0.
constexpr std::uint64_t handshakeStream = 0;

} // namespace

asio::awaitable<void> TWCPSession::handshake(std::chrono::steady_clock::duration timeout) {
    return enter(handshakeOnStrand(timeout));
}

asio::awaitable<void> TWCPSession::handshakeOnStrand(std::chrono::steady_clock::duration timeout) {
    state_ = State::handshaking();
    localNonce_ = SecureRandom::bytes(nonceSize);
    std::exception_ptr failure;
    try {
        // Built apart from the co_await: g++ 12 destroys a conditional's awaitable twice inside one.
        auto steps = role_ == TWCPRole::initiator ? initiatorSteps() : responderSteps();
        co_await withTimeout(std::move(steps), timeout, TWCPError::handshakeTimeout());
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        co_await becomeReady();
        co_return;
    }
    co_await closeOnStrand(TWCPError::from(failure).value_or(TWCPError::authenticationFailed()));
    std::rethrow_exception(failure);
}

asio::awaitable<void> TWCPSession::initiatorSteps() {
    co_await sendHandshake(TWCPFrame::json(TWCPFrameKind::hello, localHello(), handshakeStream));

    const auto ack = co_await receiveHandshake<HelloAckMessage>(TWCPFrameKind::helloAck);
    negotiatedVersion_ = ack.negotiatedVersion;
    if (negotiatedVersion_ != protocolVersion) {
        throw TWCPError::versionNegotiationFailed(ack.negotiatedVersion);
    }
    sharedCapabilities_ = ack.sharedCapabilities;
    peer_ = HelloMessage{.version = protocolVersion,
                         .role = TWCPRole::responder,
                         .deviceID = ack.deviceID,
                         .deviceName = ack.deviceName,
                         .platform = ack.platform,
                         .osVersion = "",
                         .appVersion = "",
                         .spkiSHA256 = ack.spkiSHA256,
                         .capabilities = ack.sharedCapabilities,
                         .nonce = {}};
    checkTransportBinding(ack.spkiSHA256);

    const auto challenge = co_await receiveHandshake<AuthChallengeMessage>(TWCPFrameKind::authChallenge);
    const HandshakeTranscript transcript{identity_->spkiSHA256(), ack.spkiSHA256, localNonce_,
                                         challenge.nonce, negotiatedVersion_};
    const bool paired = co_await pairing_->isPaired(ack.spkiSHA256);
    const bool confirm = ack.requiresPairing || !paired;
    if (confirm) {
        co_await confirmPairing(transcript, *peer_);
    }
    co_await sendHandshake(signedResponse(transcript));

    const auto response = co_await receiveHandshake<AuthResponseMessage>(TWCPFrameKind::authResponse);
    verifyPeer(transcript, response.signature, ack.spkiSHA256);
    if (confirm) {
        // Both sides commit under the dialling side's identifier: the one value both know alike.
        auto persisting =
            pairing_->persistPairing(ack.spkiSHA256, ack.deviceID, ack.deviceName,
                                     PairingCode::commitment(transcript, identity_->deviceID()));
        co_await std::move(persisting);
    }
}

asio::awaitable<void> TWCPSession::responderSteps() {
    const auto hello = co_await receiveHandshake<HelloMessage>(TWCPFrameKind::hello);
    peer_ = hello;
    negotiatedVersion_ = std::min(hello.version, protocolVersion);
    if (negotiatedVersion_ == 0) {
        throw TWCPError::versionNegotiationFailed(hello.version);
    }
    sharedCapabilities_ = localCapabilities.intersection(hello.capabilities);
    checkTransportBinding(hello.spkiSHA256);

    const bool paired = co_await pairing_->isPaired(hello.spkiSHA256);
    co_await sendHandshake(localHelloAck(!paired));
    co_await sendHandshake(localChallenge());
    const HandshakeTranscript transcript{hello.spkiSHA256, identity_->spkiSHA256(), hello.nonce, localNonce_,
                                         negotiatedVersion_};

    const auto response = co_await receiveHandshake<AuthResponseMessage>(TWCPFrameKind::authResponse);
    // A peer that cannot prove its key never reaches the user's screen.
    verifyPeer(transcript, response.signature, hello.spkiSHA256);
    if (!paired) {
        co_await confirmPairing(transcript, hello);
        auto persisting = pairing_->persistPairing(hello.spkiSHA256, hello.deviceID, hello.deviceName,
                                                   PairingCode::commitment(transcript, hello.deviceID));
        co_await std::move(persisting);
    }
    co_await sendHandshake(signedResponse(transcript));
}

asio::awaitable<void> TWCPSession::confirmPairing(const HandshakeTranscript& transcript,
                                                  const HelloMessage& peer) {
    const std::string code = PairingCode::code(transcript);
    state_ = State::awaitingPairingConfirmation(code);
    auto asking = pairing_->confirmPairing(code, peer.deviceName, peer.spkiSHA256, peer.deviceID);
    const bool confirmed = co_await std::move(asking);
    if (!confirmed) {
        throw TWCPError::pairingRejected();
    }
    state_ = State::handshaking();
}

asio::awaitable<TWCPFrame> TWCPSession::nextHandshakeFrame() {
    if (!handshakeInbox_.empty()) {
        TWCPFrame frame = std::move(handshakeInbox_.front());
        handshakeInbox_.pop_front();
        co_return frame;
    }
    const std::uint64_t id = nextWaiterID_++;
    const Completion<TWCPFrame> completion(strand());
    handshakeWaiters_.push_back({id, completion});
    try {
        co_return co_await completion.wait();
    } catch (...) {
        // Cancelled: forget the waiter so the receive loop does not hand it a frame nobody takes.
        std::erase_if(handshakeWaiters_, [id](const Waiter& waiter) { return waiter.id == id; });
        throw;
    }
}

asio::awaitable<void> TWCPSession::sendHandshake(TWCPFrame frame) {
    co_await channel_->send(std::move(frame));
}

template <typename Message> asio::awaitable<Message> TWCPSession::receiveHandshake(TWCPFrameKind expecting) {
    const TWCPFrame frame = co_await nextHandshakeFrame();
    co_return frame.decode<Message>(expecting);
}

void TWCPSession::checkTransportBinding(const std::string& announcedSPKISHA256) const {
    const auto transportKey = channel_->authenticatedPeerSPKISHA256();
    if (transportKey && *transportKey != announcedSPKISHA256) {
        throw TWCPError::authenticationFailed();
    }
}

// The key TLS authenticated on this very connection checks the signature (the binding check made sure it
// is the announced one); only a channel without one leaves it to the keys the identity knows.
void TWCPSession::verifyPeer(const HandshakeTranscript& transcript, const Bytes& signature,
                             const std::string& peerSPKISHA256) const {
    const auto transportKey = channel_->authenticatedPeerKey();
    const bool valid = transportKey ? transportKey->isValidSignature(signature, transcript.digest())
                                    : identity_->verify(signature, transcript.digest(), peerSPKISHA256);
    if (!valid) {
        throw TWCPError::authenticationFailed();
    }
}

TWCPFrame TWCPSession::localHelloAck(bool requiresPairing) const {
    const HelloAckMessage ack{.negotiatedVersion = negotiatedVersion_,
                              .sharedCapabilities = sharedCapabilities_,
                              .deviceID = identity_->deviceID(),
                              .deviceName = identity_->deviceName(),
                              .platform = identity_->platform(),
                              .spkiSHA256 = identity_->spkiSHA256(),
                              .requiresPairing = requiresPairing};
    return TWCPFrame::json(TWCPFrameKind::helloAck, ack, handshakeStream);
}

TWCPFrame TWCPSession::localChallenge() const {
    const AuthChallengeMessage challenge{localNonce_};
    return TWCPFrame::json(TWCPFrameKind::authChallenge, challenge, handshakeStream);
}

TWCPFrame TWCPSession::signedResponse(const HandshakeTranscript& transcript) const {
    const AuthResponseMessage response{identity_->sign(transcript.digest())};
    return TWCPFrame::json(TWCPFrameKind::authResponse, response, handshakeStream);
}

HelloMessage TWCPSession::localHello() const {
    return HelloMessage{.version = protocolVersion,
                        .role = role_,
                        .deviceID = identity_->deviceID(),
                        .deviceName = identity_->deviceName(),
                        .platform = identity_->platform(),
                        .osVersion = identity_->osVersion(),
                        .appVersion = identity_->appVersion(),
                        .spkiSHA256 = identity_->spkiSHA256(),
                        .capabilities = localCapabilities,
                        .nonce = localNonce_};
}

asio::awaitable<void> TWCPSession::becomeReady() {
    state_ = State::ready();
    lastHeard_ = std::chrono::steady_clock::now();
    // Frames the peer sent right behind its last handshake message are ready-state frames: they keep their
    // order in the frame stream, and pings among them are answered.
    std::vector<std::uint64_t> pings;
    for (auto& frame : std::exchange(handshakeInbox_, {})) {
        if (frame.header.kind == TWCPFrameKind::ping) {
            pings.push_back(frame.header.streamID);
        } else {
            frames_.push(std::move(frame));
        }
    }
    co_await channel_->handshakeCompleted();
    for (const std::uint64_t stream : pings) {
        co_await answerPing(stream);
    }
}

} // namespace tarnwick
