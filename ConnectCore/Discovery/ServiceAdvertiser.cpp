#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"

#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Discovery/ConnectService.hpp"
#include "ConnectCore/Discovery/ListeningSocket.hpp"
#include "ConnectCore/Discovery/ServicePublication.hpp"
#include "ConnectCore/Session/TWCPIdentity.hpp"

#include <asio/experimental/as_tuple.hpp>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Out of descriptors or memory: accepting again at once would only spin.
bool isResourceShortage(const asio::error_code& error) {
    return error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
           error == asio::error::no_memory || error.value() == ENFILE;
}

} // namespace

asio::awaitable<std::optional<std::shared_ptr<TWCPNetworkChannel>>>
ServiceAdvertiser::Connections::next() const {
    co_return co_await queue_.next();
}

ServiceAdvertiser::ServiceAdvertiser(const asio::any_io_executor& executor, const TWCPIdentity& identity,
                                     std::shared_ptr<TWCPParameters::TLSContext> tls,
                                     std::chrono::steady_clock::duration tlsTimeout)
    : Actor(executor),
      executor_(executor),
      serviceName_(ConnectService::instanceName(identity.deviceName())),
      txt_(ConnectService::txtRecord(identity)),
      tls_(std::move(tls)),
      tlsTimeout_(tlsTimeout),
      connections_(executor) {}

ServiceAdvertiser::~ServiceAdvertiser() = default;

asio::awaitable<std::uint16_t> ServiceAdvertiser::start(std::optional<std::uint16_t> port, bool advertise) {
    return enter(startOnStrand(port, advertise));
}
asio::awaitable<void> ServiceAdvertiser::stop() {
    return enter(stopOnStrand());
}
asio::awaitable<std::optional<std::string>> ServiceAdvertiser::advertisedName() {
    return enter(advertisedNameOnStrand());
}

asio::awaitable<std::uint16_t> ServiceAdvertiser::startOnStrand(std::optional<std::uint16_t> port,
                                                                bool advertise) {
    closeListener();
    acceptor_ = std::make_shared<asio::ip::tcp::acceptor>(ListeningSocket::open(executor_, port.value_or(0)));
    const std::uint16_t bound = acceptor_->local_endpoint().port();
    // The loop holds the advertiser weakly between connections; stop() ends it.
    acceptLoop_ = Task::spawn(strand(), acceptLoop(weak_from_this(), acceptor_), nullptr);
    if (advertise) {
        publication_ = std::make_unique<ServicePublication>(serviceName_, bound, txt_);
    }
    co_return bound;
}

asio::awaitable<void> ServiceAdvertiser::stopOnStrand() {
    closeListener();
    connections_.queue_.finish();
    co_return;
}

asio::awaitable<std::optional<std::string>> ServiceAdvertiser::advertisedNameOnStrand() {
    co_return publication_ ? publication_->establishedName() : std::nullopt;
}

void ServiceAdvertiser::closeListener() {
    publication_.reset();
    acceptLoop_.cancel();
    acceptLoop_ = {};
    for (const auto& [id, handshake] : handshakes_) {
        handshake.cancel();
    }
    if (acceptor_) {
        asio::error_code ignored;
        acceptor_->close(ignored);
        acceptor_.reset();
    }
}

asio::awaitable<void> ServiceAdvertiser::acceptLoop(std::weak_ptr<ServiceAdvertiser> weakSelf,
                                                    std::shared_ptr<asio::ip::tcp::acceptor> acceptor) {
    for (;;) {
        auto self = weakSelf.lock();
        if (!self || self->acceptor_ != acceptor) {
            co_return;
        }
        // Accepted sockets get the plain executor: each channel makes its own strand.
        auto [error, socket] = co_await acceptor->async_accept(
            self->executor_, asio::experimental::as_tuple(asio::use_awaitable));
        // A listener replaced or closed meanwhile is no longer this loop's.
        if (error == asio::error::operation_aborted || self->acceptor_ != acceptor) {
            co_return;
        }
        if (isResourceShortage(error)) {
            co_await sleepFor(100ms);
        } else if (!error) {
            self->admit(std::move(socket));
        }
    }
}

void ServiceAdvertiser::admit(asio::ip::tcp::socket socket) {
    asio::error_code unknown;
    auto place = takePlace(socket.remote_endpoint(unknown).address());
    if (!place || unknown) {
        asio::error_code ignored;
        socket.close(ignored);
        return;
    }
    auto channel = std::make_shared<TWCPNetworkChannel>(std::move(socket), tls_,
                                                        TWCPNetworkChannel::Side::server, tlsTimeout_);
    channel->holdUntilAuthenticated(std::move(place));
    const std::uint64_t id = nextHandshake_++;
    handshakes_.emplace(id, Task::spawn(strand(), startChannel(std::move(channel), connections_),
                                        [weakSelf = weak_from_this(), id](std::exception_ptr) {
                                            // Runs on the strand, where handshakes_ lives.
                                            if (auto self = weakSelf.lock()) {
                                                self->handshakes_.erase(id);
                                            }
                                        }));
}

std::shared_ptr<void> ServiceAdvertiser::takePlace(const asio::ip::address& address) {
    std::lock_guard lock(places_->mutex);
    int& fromAddress = places_->byAddress[address];
    if (places_->total >= maximumWaitingConnections || fromAddress >= maximumWaitingPerAddress) {
        if (fromAddress == 0) {
            places_->byAddress.erase(address);
        }
        return nullptr;
    }
    ++fromAddress;
    ++places_->total;
    return std::make_shared<HeldPlace>(places_, address);
}

ServiceAdvertiser::HeldPlace::~HeldPlace() {
    std::lock_guard lock(places->mutex);
    --places->total;
    if (--places->byAddress[address] == 0) {
        places->byAddress.erase(address);
    }
}

asio::awaitable<void> ServiceAdvertiser::startChannel(std::shared_ptr<TWCPNetworkChannel> channel,
                                                      Connections connections) {
    bool started = false;
    try {
        co_await channel->start();
        started = true;
    } catch (...) {
        // A failed or abandoned TLS handshake is no one's concern; the channel closes as it goes.
    }
    if (started && !connections.queue_.push(channel)) {
        co_await channel->close(std::nullopt);
    }
}

} // namespace tarnwick
