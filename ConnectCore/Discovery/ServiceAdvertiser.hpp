#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"
#include "ConnectCore/Discovery/TXTRecord.hpp"

#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tarnwick {

class ServicePublication;
class TWCPIdentity;

/// The listener other devices connect to, published with DNS-SD under this device's name. Every
/// accepted connection runs TLS on its own; those that complete it are handed out in order by
/// `connections()`, the others are dropped without a word.
class ServiceAdvertiser : public Actor, public std::enable_shared_from_this<ServiceAdvertiser> {
public:
    /// Accepted connections that may be in TLS or not yet authenticated at once, in all and from one
    /// address. Further ones are closed at once, so strangers cannot exhaust descriptors or memory; each
    /// holds its place at most until its channel's authentication deadline, so a flood holds off a real
    /// device only while it lasts, and one host cannot take every place.
    static constexpr int maximumWaitingConnections = 10;
    static constexpr int maximumWaitingPerAddress = 3;

    /// The started channels, in the order their TLS completed. Each keeps its place until its session is
    /// ready or it closes.
    class Connections {
    public:
        /// The next channel; none once the advertiser has stopped.
        asio::awaitable<std::optional<std::shared_ptr<TWCPNetworkChannel>>> next() const;

    private:
        friend class ServiceAdvertiser;
        explicit Connections(const asio::any_io_executor& executor) : queue_(executor) {}

        AsyncQueue<std::shared_ptr<TWCPNetworkChannel>> queue_;
    };

    /// `identity` gives the name and TXT record to publish; `tls` is this device's TLS setup with its
    /// pinning. The advertiser must be owned by a shared_ptr.
    ServiceAdvertiser(const asio::any_io_executor& executor, const TWCPIdentity& identity,
                      std::shared_ptr<TWCPParameters::TLSContext> tls,
                      std::chrono::steady_clock::duration tlsTimeout = TWCPNetworkChannel::defaultTLSTimeout);
    ~ServiceAdvertiser();

    /// Listens on the port (none: any free one) and, when asked, publishes the service; returns the port.
    /// A listener already running is replaced. Throws asio::system_error when the port cannot be bound.
    asio::awaitable<std::uint16_t> start(std::optional<std::uint16_t> port, bool advertise);
    /// Closes the listener, withdraws the service, drops connections still in TLS and ends `connections()`.
    asio::awaitable<void> stop();

    Connections connections() const { return connections_; }
    /// The name the service is established under on the network right now, if it is.
    asio::awaitable<std::optional<std::string>> advertisedName();

private:
    asio::awaitable<std::uint16_t> startOnStrand(std::optional<std::uint16_t> port, bool advertise);
    asio::awaitable<void> stopOnStrand();
    asio::awaitable<std::optional<std::string>> advertisedNameOnStrand();
    void closeListener();
    static asio::awaitable<void> acceptLoop(std::weak_ptr<ServiceAdvertiser> weakSelf,
                                            std::shared_ptr<asio::ip::tcp::acceptor> acceptor);
    void admit(asio::ip::tcp::socket socket);
    /// A place for a connection from the address, released when the token goes; none when full.
    std::shared_ptr<void> takePlace(const asio::ip::address& address);
    /// Static: a handshake may outlive the advertiser by a moment, and then touches only the stream.
    static asio::awaitable<void> startChannel(std::shared_ptr<TWCPNetworkChannel> channel,
                                              Connections connections);

    const asio::any_io_executor executor_;
    const std::string serviceName_;
    const TXTRecord txt_;
    const std::shared_ptr<TWCPParameters::TLSContext> tls_;
    const std::chrono::steady_clock::duration tlsTimeout_;
    std::shared_ptr<asio::ip::tcp::acceptor> acceptor_;
    Task acceptLoop_;
    std::map<std::uint64_t, Task> handshakes_;
    std::uint64_t nextHandshake_ = 0;
    std::unique_ptr<ServicePublication> publication_;
    /// Unauthenticated connections per source address; channels release their places from any thread.
    struct Places {
        std::mutex mutex;
        std::map<asio::ip::address, int> byAddress;
        int total = 0;
    };
    /// One connection's place; it holds the counts rather than the advertiser, which its channel may outlive.
    struct HeldPlace {
        HeldPlace(std::shared_ptr<Places> places, asio::ip::address address)
            : places(std::move(places)),
              address(std::move(address)) {}
        ~HeldPlace();
        std::shared_ptr<Places> places;
        asio::ip::address address;
    };
    const std::shared_ptr<Places> places_ = std::make_shared<Places>();
    Connections connections_;
};

} // namespace tarnwick
