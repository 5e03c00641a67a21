#include "ConnectCore/Session/TWCPSession.hpp"

#include "ConnectCore/Async/Race.hpp"

#include <asio/dispatch.hpp>
#include <asio/this_coro.hpp>

#include <iostream>

namespace tarnwick {
TWCPSession::TWCPSession(const asio::any_io_executor& executor, TWCPRole role,
                         std::shared_ptr<TWCPChannel> channel, std::shared_ptr<const TWCPIdentity> identity,
                         std::shared_ptr<TWCPPairingPolicy> pairing,
                         std::weak_ptr<TWCPSessionDelegate> delegate)
    : Actor(executor),
      role_(role),
      channel_(std::move(channel)),
      identity_(std::move(identity)),
      pairing_(std::move(pairing)),
      delegate_(std::move(delegate)),
      frames_(executor) {}

asio::awaitable<TWCPSession::State> TWCPSession::state() {
    return readOnStrand(state_);
}
asio::awaitable<std::optional<HelloMessage>> TWCPSession::peer() {
    return readOnStrand(peer_);
}
asio::awaitable<std::uint8_t> TWCPSession::negotiatedVersion() {
    return readOnStrand(negotiatedVersion_);
}
asio::awaitable<PeerCapabilities> TWCPSession::sharedCapabilities() {
    return readOnStrand(sharedCapabilities_);
}

asio::awaitable<void> TWCPSession::setDelegate(std::weak_ptr<TWCPSessionDelegate> delegate) {
    return enter([](TWCPSession& self, std::weak_ptr<TWCPSessionDelegate> delegate) -> asio::awaitable<void> {
        self.delegate_ = std::move(delegate);
        co_return;
    }(*this, std::move(delegate)));
}

void TWCPSession::start() {
    asio::dispatch(strand(), [weakSelf = weak_from_this()] {
        const auto self = weakSelf.lock();
        if (!self || self->pumpTask_) {
            return;
        }
        // The loop holds the session weakly, so dropping the session ends it.
        self->pumpTask_ = Task::spawn(self->strand(), receiveLoop(weakSelf, self->channel_->inbound()),
                                      [](std::exception_ptr error) {
                                          if (error) {
                                              try {
                                                  std::rethrow_exception(error);
                                              } catch (const std::exception& failure) {
                                                  std::cout << "session failed: " << failure.what() << '\n';
                                              }
                                          }
                                      });
    });
}

asio::awaitable<void> TWCPSession::frameHandled() {
    return channel_->frameConsumed();
}

asio::awaitable<void> TWCPSession::send(TWCPFrame frame) {
    return channel_->send(std::move(frame));
}

asio::awaitable<void> TWCPSession::close(std::optional<TWCPError> error) {
    return enter(closeOnStrand(std::move(error)));
}

asio::awaitable<void> TWCPSession::receiveLoop(std::weak_ptr<TWCPSession> weakSelf,
                                               AsyncQueue<TWCPFrame> inbound) {
    for (;;) {
        std::optional<TWCPFrame> frame;
        std::exception_ptr error;
        try {
            frame = co_await inbound.next();
        } catch (...) {
            error = std::current_exception();
        }
        if ((co_await asio::this_coro::cancellation_state).cancelled() != asio::cancellation_type::none) {
            co_return; // close() ended the loop and did the rest itself
        }
        const auto self = weakSelf.lock();
        if (!self) {
            co_return;
        }
        if (!frame) {
            co_await self->streamEnded(error);
            co_return;
        }
        co_await self->route(std::move(*frame));
    }
}

asio::awaitable<void> TWCPSession::route(TWCPFrame frame) {
    if (state_.phase == State::Phase::closed) {
        co_return;
    }
    if (state_.phase != State::Phase::ready) {
        if (handshakeWaiters_.empty()) {
            handshakeInbox_.push_back(std::move(frame));
        } else {
            Waiter waiter = std::move(handshakeWaiters_.front());
            handshakeWaiters_.erase(handshakeWaiters_.begin());
            waiter.completion.resume(std::move(frame));
        }
        co_return;
    }
    lastHeard_ = std::chrono::steady_clock::now();
    if (frame.header.kind == TWCPFrameKind::ping) {
        co_await answerPing(frame.header.streamID);
        co_return;
    }
    if (frame.header.kind == TWCPFrameKind::pong) {
        // The answer to this side's liveness check; nobody else asks.
        co_await channel_->frameConsumed();
        co_return;
    }
    if (const auto delegate = delegate_.lock()) {
        frames_.push(frame);
        co_await delegate->sessionDidReceive(*this, std::move(frame));
    } else {
        frames_.push(std::move(frame));
    }
}

asio::awaitable<void> TWCPSession::answerPing(std::uint64_t streamID) {
    try {
        co_await channel_->send(TWCPFrame(TWCPFrameKind::pong, {}, streamID, {}));
    } catch (const std::exception&) {
        // A pong that cannot be sent changes nothing: the channel reports its own end.
    }
    co_await channel_->frameConsumed();
}

void TWCPSession::keepAlive(std::chrono::steady_clock::duration idle,
                            std::chrono::steady_clock::duration answerWithin) {
    asio::dispatch(strand(), [weakSelf = weak_from_this(), idle, answerWithin] {
        const auto self = weakSelf.lock();
        if (self && self->state_.phase == State::Phase::ready && !self->keepAliveTask_) {
            self->keepAliveTask_ =
                Task::spawn(self->strand(), keepAliveLoop(weakSelf, idle, answerWithin), nullptr);
        }
    });
}

// Holds the session weakly between its waits, so that dropping the session ends the check; closing the
// session cancels it.
asio::awaitable<void> TWCPSession::keepAliveLoop(std::weak_ptr<TWCPSession> weakSelf,
                                                 std::chrono::steady_clock::duration idle,
                                                 std::chrono::steady_clock::duration answerWithin) {
    for (;;) {
        auto self = weakSelf.lock();
        if (!self || self->state_.phase != State::Phase::ready) {
            co_return;
        }
        const auto quietSince = self->lastHeard_;
        const auto wait = quietSince + idle - std::chrono::steady_clock::now();
        const auto channel = self->channel_;
        self.reset();
        if (wait > std::chrono::steady_clock::duration::zero()) {
            co_await sleepFor(wait);
            continue;
        }
        try {
            co_await channel->send(TWCPFrame(TWCPFrameKind::ping, {}, 0, {}));
        } catch (const std::exception&) {
            co_return; // the channel reports its own end
        }
        co_await sleepFor(answerWithin);
        self = weakSelf.lock();
        if (self && self->lastHeard_ == quietSince && self->state_.phase == State::Phase::ready) {
            co_await self->closeOnStrand(TWCPError::peerClosed());
            co_return;
        }
    }
}

asio::awaitable<void> TWCPSession::streamEnded(std::exception_ptr error) {
    frames_.finish();
    keepAliveTask_.cancel();
    const auto reason = TWCPError::from(error);
    failHandshakeWaiters(reason.value_or(TWCPError::peerClosed()));
    if (state_.phase != State::Phase::closed) {
        state_ = State::closed(reason ? std::optional(reason->code()) : std::nullopt);
    }
    if (const auto delegate = delegate_.lock(); delegate && error) {
        co_await delegate->sessionDidClose(*this, error);
    }
}

asio::awaitable<void> TWCPSession::closeOnStrand(std::optional<TWCPError> error) {
    frames_.finish();
    keepAliveTask_.cancel();
    if (pumpTask_) {
        pumpTask_.cancel();
        pumpTask_ = {};
    }
    failHandshakeWaiters(error.value_or(TWCPError::peerClosed()));
    state_ = State::closed(error ? std::optional(error->code()) : std::nullopt);
    co_await channel_->close(std::move(error));
}

void TWCPSession::failHandshakeWaiters(const TWCPError& error) {
    auto waiters = std::exchange(handshakeWaiters_, {});
    for (auto& waiter : waiters) {
        waiter.completion.fail(std::make_exception_ptr(error));
    }
}

} // namespace tarnwick
