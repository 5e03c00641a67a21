#pragma once

#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "TarnwickConnectProtocol/Handshake/HandshakeTranscript.hpp"
#include "TarnwickConnectProtocol/Messages/AuthChallengeMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthResponseMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "tests/Support/TLSIdentity.hpp"

#include <asio/ip/tcp.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick::testing {

/// A device that speaks the handshake by hand, message by message, over real TLS, the way a device built
/// from the wire description alone does: it can pipeline frames behind its last handshake message, or send
/// what a well-behaved device never would.
class HandshakeByHand {
public:
    static constexpr std::uint8_t version = 1;

    TLSIdentity identity{"Scripted Phone"};
    Bytes nonce = SecureRandom::bytes(32);
    std::shared_ptr<TWCPNetworkChannel> channel;

    /// Listens for the device to dial, on loopback unless told otherwise; returns the port.
    asio::awaitable<std::uint16_t> listen(asio::ip::address address = asio::ip::address_v4::loopback()) {
        acceptor_.emplace(co_await asio::this_coro::executor, asio::ip::tcp::endpoint(address, 0));
        co_return acceptor_->local_endpoint().port();
    }
    asio::awaitable<void> accept() {
        auto socket = co_await acceptor_->async_accept(asio::use_awaitable);
        channel =
            std::make_shared<TWCPNetworkChannel>(std::move(socket), tls_, TWCPNetworkChannel::Side::server);
        co_await channel->start();
        // This side judges nothing: the test decides what it accepts.
        co_await channel->handshakeCompleted();
    }
    asio::awaitable<void> dial(std::uint16_t port,
                               asio::ip::address address = asio::ip::address_v4::loopback()) {
        channel = co_await ConnectDialer::connect({address, port}, tls_);
        co_await channel->handshakeCompleted();
    }

    asio::awaitable<void> send(TWCPFrame frame) { co_await channel->send(std::move(frame)); }
    /// The next frame the device sent; none once it closed the connection.
    asio::awaitable<std::optional<TWCPFrame>> next() {
        std::optional<TWCPFrame> frame;
        try {
            frame = co_await channel->inbound().next();
        } catch (const std::exception&) {
        }
        if (frame) {
            co_await channel->frameConsumed();
        }
        co_return frame;
    }

    HelloMessage hello() const {
        return HelloMessage{.version = version,
                            .role = TWCPRole::initiator,
                            .deviceID = "SCRIPTED-ID",
                            .deviceName = "Scripted Phone",
                            .platform = DevicePlatform::iOS,
                            .osVersion = "17.0",
                            .appVersion = "1.0",
                            .spkiSHA256 = identity.spkiSHA256,
                            .capabilities = PeerCapabilities{31},
                            .nonce = nonce};
    }
    HelloAckMessage helloAck() const {
        return HelloAckMessage{.negotiatedVersion = version,
                               .sharedCapabilities = PeerCapabilities{31},
                               .deviceID = "SCRIPTED-ID",
                               .deviceName = "Scripted Phone",
                               .platform = DevicePlatform::iOS,
                               .spkiSHA256 = identity.spkiSHA256,
                               .requiresPairing = true};
    }
    AuthResponseMessage signedResponse(const HandshakeTranscript& transcript) const {
        return AuthResponseMessage{identity.device.sign(transcript.digest())};
    }

private:
    std::shared_ptr<TWCPParameters::TLSContext> tls_ =
        TWCPParameters::make(*identity.identity, TWCPParameters::Pinning::trustOnFirstUse(nullptr));
    std::optional<asio::ip::tcp::acceptor> acceptor_;
};

} // namespace tarnwick::testing
