#pragma once

#include "ConnectCore/Device/ConnectDevice.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <asio/co_spawn.hpp>
#include <asio/thread_pool.hpp>
#include <asio/use_future.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace tarnwick::testing {

/// A `ConnectDevice` on threads of its own, listening on every address without DNS-SD, that confirms
/// every pairing code and keeps every event it publishes for the test to wait on.
class DeviceUnderTest {
public:
    using Clock = std::chrono::steady_clock;

    explicit DeviceUnderTest(std::string name = "Studio Computer") {
        ConnectDevice::Setup setup;
        setup.engine = network_.get_executor();
        setup.blocking = blocking_.get_executor();
        setup.supportFolder = home_ / "support";
        setup.deviceName = std::move(name);
        setup.appVersion = "test";
        setup.receiveFolder = home_ / "Downloads";
        setup.port = std::nullopt;
        setup.discovery = false;
        device_ =
            std::make_shared<ConnectDevice>(std::move(setup), [this](DeviceEvent event) { record(event); });
        device_->start();
        port_ = std::get<DeviceEvents::Started>(waitFor<DeviceEvents::Started>()).port;
    }
    ~DeviceUnderTest() {
        stop();
        device_->detach();
        network_.join();
        blocking_.join();
    }

    /// Stops the device and returns when its stop has.
    void stop() { asio::co_spawn(network_, device_->stop(), asio::use_future).wait(); }

    ConnectDevice& operator*() { return *device_; }
    ConnectDevice* operator->() { return device_.get(); }
    std::uint16_t port() const { return port_; }
    const TemporaryDirectory& home() const { return home_; }

    /// Waits for the first event that passes `matches` and was not taken by an earlier wait, and takes it;
    /// throws when none comes in time.
    DeviceEvent waitFor(const std::function<bool(const DeviceEvent&)>& matches,
                        Clock::duration limit = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        for (;;) {
            for (std::size_t i = 0; i < events_.size(); ++i) {
                if (!taken_[i] && matches(events_[i])) {
                    taken_[i] = true;
                    return events_[i];
                }
            }
            if (changed_.wait_until(lock, Clock::now() + limit) == std::cv_status::timeout) {
                throw std::runtime_error("the awaited event did not come");
            }
        }
    }
    template <typename Event> DeviceEvent waitFor(Clock::duration limit = std::chrono::seconds(30)) {
        return waitFor([](const DeviceEvent& event) { return std::holds_alternative<Event>(event); }, limit);
    }
    /// How many events of the kind were published so far.
    template <typename Event> std::size_t count() {
        std::lock_guard lock(mutex_);
        return std::ranges::count_if(events_,
                                     [](const DeviceEvent& e) { return std::holds_alternative<Event>(e); });
    }

private:
    void record(const DeviceEvent& event) {
        if (const auto* requested = std::get_if<DeviceEvents::PairingRequested>(&event)) {
            device_->answerPairing(requested->prompt, true);
        }
        std::lock_guard lock(mutex_);
        events_.push_back(event);
        taken_.push_back(false);
        changed_.notify_all();
    }

    asio::thread_pool network_{1};
    asio::thread_pool blocking_{2};
    // In memory: transfers in the tests may be large, and the disk is not what they test.
    TemporaryDirectory home_{"/dev/shm"};
    std::shared_ptr<ConnectDevice> device_;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DeviceEvent> events_;
    std::vector<bool> taken_;
};

} // namespace tarnwick::testing
