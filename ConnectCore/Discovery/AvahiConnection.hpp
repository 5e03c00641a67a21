#pragma once

#include <avahi-client/client.h>
#include <avahi-common/thread-watch.h>

#include <chrono>
#include <functional>

namespace tarnwick {

/// One connection to the Avahi daemon, served by Avahi's own event thread, which sleeps in poll() until
/// the daemon or a timer needs it. Every callback runs on that thread. When the daemon is not there yet,
/// or goes away, the connection tries again by itself, so publishing and browsing resume with it.
class AvahiConnection {
public:
    /// Told every client state, on Avahi's thread. Objects made from the client live as long as it does:
    /// on AVAHI_CLIENT_FAILURE the client is about to be freed with all of them, so forget them.
    using StateHandler = std::function<void(AvahiClient* client, AvahiClientState state)>;

    explicit AvahiConnection(StateHandler onState);
    /// Stops Avahi's thread and frees the client with everything made from it; never call it on that thread.
    ~AvahiConnection();
    AvahiConnection(const AvahiConnection&) = delete;
    AvahiConnection& operator=(const AvahiConnection&) = delete;

    /// Connects and starts Avahi's thread. The first states may be reported before it returns.
    void start();

    /// Holds Avahi's thread still, for Avahi calls and shared state touched from elsewhere
    /// (never from a callback, which already holds it). Use through std::lock_guard.
    void lock() { avahi_threaded_poll_lock(poll_); }
    void unlock() { avahi_threaded_poll_unlock(poll_); }

private:
    static void onClientState(AvahiClient* client, AvahiClientState state, void* self);
    static void onRetry(AvahiTimeout* timeout, void* self);
    void connect();
    void retryAfter(std::chrono::milliseconds delay);

    StateHandler onState_;
    AvahiThreadedPoll* poll_;
    AvahiClient* client_ = nullptr;
    AvahiTimeout* retry_ = nullptr;
};

} // namespace tarnwick
