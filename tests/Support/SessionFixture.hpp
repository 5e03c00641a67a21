#pragma once

#include "ConnectCore/Channel/InMemoryChannel.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "ConnectCore/Session/StaticPairingPolicy.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <asio/experimental/awaitable_operators.hpp>

#include <chrono>
#include <mutex>
#include <vector>

namespace tarnwick::testing {

/// A channel that records the kinds of the frames sent through it, in one log shared by both ends,
/// and counts frameConsumed calls.
class RecordingChannel : public TWCPChannel {
public:
    RecordingChannel(std::shared_ptr<TWCPChannel> inner, std::shared_ptr<std::vector<TWCPFrameKind>> log,
                     std::shared_ptr<std::mutex> mutex)
        : inner_(std::move(inner)),
          log_(std::move(log)),
          mutex_(std::move(mutex)) {}

    asio::awaitable<void> send(TWCPFrame frame) override {
        {
            std::lock_guard lock(*mutex_);
            log_->push_back(frame.header.kind);
        }
        co_await inner_->send(std::move(frame));
    }
    AsyncQueue<TWCPFrame> inbound() const override { return inner_->inbound(); }
    asio::awaitable<void> frameConsumed() override {
        consumed_ += 1;
        co_await inner_->frameConsumed();
    }
    asio::awaitable<void> close(std::optional<TWCPError> reason) override { co_await inner_->close(reason); }
    std::optional<std::string> authenticatedPeerSPKISHA256() const override {
        return inner_->authenticatedPeerSPKISHA256();
    }
    std::optional<P256PublicKey> authenticatedPeerKey() const override {
        return inner_->authenticatedPeerKey();
    }

    std::atomic<int> consumed_{0};

private:
    std::shared_ptr<TWCPChannel> inner_;
    std::shared_ptr<std::vector<TWCPFrameKind>> log_;
    std::shared_ptr<std::mutex> mutex_;
};

inline SoftwareIdentity makeIdentity(std::string name) {
    return SoftwareIdentity(name + "-ID", name, DevicePlatform::macOS, "14.0", "1.0",
                            P256PrivateKey::generate());
}

/// Two devices, each with its identity, pairing policy, channel end and session.
struct SessionPair {
    using Duration = std::chrono::steady_clock::duration;

    struct Side {
        std::shared_ptr<SoftwareIdentity> identity;
        std::shared_ptr<StaticPairingPolicy> policy;
        std::shared_ptr<InMemoryChannel> endpoint;
        std::shared_ptr<RecordingChannel> channel;
        std::shared_ptr<TWCPSession> session;
    };

    struct Options {
        bool initiatorHasPeerPaired = true;
        bool responderHasPeerPaired = true;
        bool responderAnswer = true;
        /// The responder cannot check the initiator's signature at all.
        bool responderKnowsInitiatorKey = true;
        /// The initiator holds another key under the responder's fingerprint.
        bool initiatorHasWrongResponderKey = false;
        InMemoryChannel::Faults faults = {};
    };

    SessionPair(const asio::any_io_executor& executor, const Options& options) {
        const SoftwareIdentity a = makeIdentity("Studio Mac");
        const SoftwareIdentity b = makeIdentity("Pocket Phone");
        auto [left, right] = InMemoryChannel::pair(executor, options.faults);
        const SoftwareIdentity impostor = makeIdentity("Impostor");
        const SoftwareIdentity initiatorIdentity =
            options.initiatorHasWrongResponderKey
                ? SoftwareIdentity(a.deviceID(), a.deviceName(), a.platform(), a.osVersion(), a.appVersion(),
                                   P256PrivateKey::generate(), {{b.spkiSHA256(), impostor.publicKey()}})
                : a.trusting(b);
        initiator = makeSide(executor, initiatorIdentity, b, options.initiatorHasPeerPaired, true, left,
                             TWCPRole::initiator);
        responder = makeSide(executor, options.responderKnowsInitiatorKey ? b.trusting(initiatorIdentity) : b,
                             initiatorIdentity, options.responderHasPeerPaired, options.responderAnswer,
                             right, TWCPRole::responder);
    }

    /// Runs both handshakes at once and returns each side's error, if any.
    asio::awaitable<std::pair<std::optional<TWCPError>, std::optional<TWCPError>>>
    handshake(Duration timeout = std::chrono::seconds(15)) {
        using namespace asio::experimental::awaitable_operators;
        auto [first, second] =
            co_await (outcome(initiator.session, timeout) && outcome(responder.session, timeout));
        co_return std::pair{first, second};
    }

    static asio::awaitable<std::optional<TWCPError>> outcome(std::shared_ptr<TWCPSession> session,
                                                             Duration timeout) {
        try {
            co_await session->handshake(timeout);
            co_return std::nullopt;
        } catch (const TWCPError& error) {
            co_return error;
        }
    }

    Side initiator;
    Side responder;
    std::shared_ptr<std::vector<TWCPFrameKind>> wire = std::make_shared<std::vector<TWCPFrameKind>>();

private:
    Side makeSide(const asio::any_io_executor& executor, const SoftwareIdentity& self,
                  const SoftwareIdentity& peer, bool paired, bool answer,
                  std::shared_ptr<InMemoryChannel> endpoint, TWCPRole role) {
        Side side;
        side.identity = std::make_shared<SoftwareIdentity>(self);
        std::set<std::string> known;
        if (paired) {
            known.insert(peer.spkiSHA256());
        }
        side.policy = std::make_shared<StaticPairingPolicy>(executor, known, answer);
        side.endpoint = std::move(endpoint);
        side.channel = std::make_shared<RecordingChannel>(side.endpoint, wire, mutex_);
        side.session =
            std::make_shared<TWCPSession>(executor, role, side.channel, side.identity, side.policy);
        side.session->start();
        return side;
    }

    std::shared_ptr<std::mutex> mutex_ = std::make_shared<std::mutex>();
};

} // namespace tarnwick::testing
