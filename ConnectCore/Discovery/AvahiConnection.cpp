#include "ConnectCore/Discovery/AvahiConnection.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <avahi-common/error.h>
#include <avahi-common/timeval.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// A daemon that went away usually comes back at once (a restart); no bus at all is slower to appear.
constexpr auto reconnectDelay = 1s;
constexpr auto missingBusDelay = 5s;

} // namespace

AvahiConnection::AvahiConnection(StateHandler onState)
    : onState_(std::move(onState)),
      poll_(avahi_threaded_poll_new()) {
    if (!poll_) {
        throw TWCPError::internalFailure("Avahi event loop unavailable");
    }
}

AvahiConnection::~AvahiConnection() {
    avahi_threaded_poll_stop(poll_);
    if (client_) {
        avahi_client_free(client_);
    }
    avahi_threaded_poll_free(poll_);
}

void AvahiConnection::start() {
    connect();
    if (avahi_threaded_poll_start(poll_) < 0) {
        throw TWCPError::internalFailure("Avahi event thread did not start");
    }
}

void AvahiConnection::connect() {
    int error = 0;
    // Without a daemon the client waits for one to appear; only a missing system bus fails here.
    client_ =
        avahi_client_new(avahi_threaded_poll_get(poll_), AVAHI_CLIENT_NO_FAIL, onClientState, this, &error);
    if (!client_) {
        retryAfter(missingBusDelay);
    }
}

void AvahiConnection::onClientState(AvahiClient* client, AvahiClientState state, void* self) {
    auto* connection = static_cast<AvahiConnection*>(self);
    connection->onState_(client, state);
    if (state == AVAHI_CLIENT_FAILURE) {
        // The client cannot be freed inside its own callback; the retry does it.
        connection->retryAfter(reconnectDelay);
    }
}

void AvahiConnection::onRetry(AvahiTimeout*, void* self) {
    auto* connection = static_cast<AvahiConnection*>(self);
    const AvahiPoll* poll = avahi_threaded_poll_get(connection->poll_);
    poll->timeout_update(connection->retry_, nullptr);
    if (connection->client_) {
        avahi_client_free(connection->client_);
        connection->client_ = nullptr;
    }
    connection->connect();
}

void AvahiConnection::retryAfter(std::chrono::milliseconds delay) {
    timeval when{};
    avahi_elapse_time(&when, static_cast<unsigned>(delay.count()), 0);
    const AvahiPoll* poll = avahi_threaded_poll_get(poll_);
    if (retry_) {
        poll->timeout_update(retry_, &when);
    } else {
        retry_ = poll->timeout_new(poll, &when, onRetry, this);
    }
}

} // namespace tarnwick
