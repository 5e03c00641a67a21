#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Device/DevicePairing.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;

/// The events a pairing publishes, kept for the test.
struct Published {
    std::mutex mutex;
    std::vector<DeviceEvent> events;

    std::vector<DeviceEvents::PairingRequested> requests() {
        std::lock_guard lock(mutex);
        std::vector<DeviceEvents::PairingRequested> found;
        for (const auto& event : events) {
            if (const auto* requested = std::get_if<DeviceEvents::PairingRequested>(&event)) {
                found.push_back(*requested);
            }
        }
        return found;
    }
    std::vector<std::uint64_t> prompts() {
        std::vector<std::uint64_t> found;
        for (const auto& request : requests()) {
            found.push_back(request.prompt);
        }
        return found;
    }
    std::size_t ended() {
        std::lock_guard lock(mutex);
        return std::count_if(events.begin(), events.end(), [](const DeviceEvent& event) {
            return std::holds_alternative<DeviceEvents::PairingEnded>(event);
        });
    }
};

class DevicePairingTest : public ::testing::Test {
protected:
    testing::Engine engine{2};
    Published published;
    std::atomic<std::chrono::steady_clock::time_point> now{std::chrono::steady_clock::time_point()};
    std::shared_ptr<DevicePairing> pairing = std::make_shared<DevicePairing>(
        engine.executor(), std::vector<PairedPeer>{{"KNOWN", "PHONE-ID", "Anna's Phone"}},
        [this](DeviceEvent event) {
            std::lock_guard lock(published.mutex);
            published.events.push_back(std::move(event));
        },
        DevicePairing::defaultPromptInterval, [this] { return now.load(); });

    /// Asks as a session on a connection from `address` would, and declines the prompt if one appears.
    bool askDeclined(const std::string& address, const std::string& name, const std::string& key,
                     const std::string& deviceID = "ID", bool accepted = true) {
        const auto before = published.prompts().size();
        const auto policy = pairing->forConnection(address, accepted);
        return engine.run([&]() -> asio::awaitable<bool> {
            bool answer = true;
            auto ask = [&]() -> asio::awaitable<void> {
                answer = co_await policy->confirmPairing("123456", name, key, deviceID);
            };
            auto decline = [&]() -> asio::awaitable<void> {
                while (published.prompts().size() == before) {
                    co_await sleepFor(2ms);
                }
                pairing->answer(published.prompts().back(), false);
            };
            auto racing = firstToFinish(ask() && decline(), sleepFor(100ms));
            co_await std::move(racing);
            co_return answer;
        }());
    }

    /// Once two prompts wait, declines the second and confirms the first, in that order.
    asio::awaitable<void> answerSecondFirst() {
        while (published.prompts().size() < 2) {
            co_await sleepFor(5ms);
        }
        const auto prompts = published.prompts();
        EXPECT_TRUE(pairing->answer(prompts[1], false));
        EXPECT_TRUE(pairing->answer(prompts[0], true));
    }
};

// Two devices asking at the same moment each get their own prompt; answering the second first must not
// answer the first.
TEST_F(DevicePairingTest, EachAnswerReachesThePromptItNames) {
    bool phone = false;
    bool stranger = true;
    engine.run([&]() -> asio::awaitable<void> {
        auto ask = [this](std::string name, bool* answer) -> asio::awaitable<void> {
            const auto policy = pairing->forConnection("192.0.2." + std::to_string(name.size()), true);
            *answer = co_await policy->confirmPairing("123456", name, name, name);
        };
        co_await (ask("Phone", &phone) && ask("Stranger", &stranger) && answerSecondFirst());
    }());
    EXPECT_TRUE(phone);
    EXPECT_FALSE(stranger);
    EXPECT_EQ(published.ended(), 2u);
    EXPECT_FALSE(pairing->answer(published.prompts()[0], true))
        << "an answered prompt takes no second answer";
}

TEST_F(DevicePairingTest, APromptWhoseSessionGivesUpIsWithdrawnAndAnswersNo) {
    const bool confirmed = engine.run([&]() -> asio::awaitable<bool> {
        bool answer = true;
        const auto policy = pairing->forConnection("192.0.2.1", true);
        auto ask = [&]() -> asio::awaitable<void> {
            answer = co_await policy->confirmPairing("1", "P", "P", "P");
        };
        co_await firstToFinish(ask(), sleepFor(50ms));
        co_return answer;
    }());
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(published.ended(), 1u);
}

TEST_F(DevicePairingTest, TrustFollowsThePairedListAndConfirmedPairings) {
    const auto policy = pairing->forConnection("192.0.2.1", true);
    EXPECT_TRUE(engine.run(policy->isPaired("KNOWN")));
    engine.run(policy->persistPairing("NEW", "NEW-ID", "Tablet", "COMMITMENT"));
    EXPECT_TRUE(engine.run(policy->isPaired("NEW")));
    pairing->setPairedPeers({});
    EXPECT_FALSE(engine.run(policy->isPaired("KNOWN"))) << "a forgotten device asks again";
}

// The prompt carries what tells a reset device or an impostor from a new one: a device paired under the
// same identifier or the same name that now shows another key.
TEST_F(DevicePairingTest, APairedIdentifierOrNameWithANewKeyIsFlagged) {
    askDeclined("192.0.2.1", "Anna's Phone", "OTHER-KEY");
    askDeclined("192.0.2.2", "Renamed", "OTHER-KEY", "PHONE-ID");
    askDeclined("192.0.2.3", "Tablet", "NEW-KEY");
    const auto requests = published.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[0].keyChanged) << "same name";
    EXPECT_TRUE(requests[1].keyChanged) << "same identifier";
    EXPECT_FALSE(requests[2].keyChanged) << "a device never seen";
    EXPECT_EQ(requests[1].address, "192.0.2.2");
    EXPECT_EQ(requests[1].deviceID, "PHONE-ID");
}

// A stranger who keeps connecting gets one prompt per address every ten seconds; the others are refused
// without a word. Another address, or the user's own dial, is not held back.
TEST_F(DevicePairingTest, AnAddressThatConnectedGetsOnePromptPerInterval) {
    askDeclined("192.0.2.9", "Stranger", "KEY-1");
    now = now.load() + DevicePairing::defaultPromptInterval - 1s;
    EXPECT_FALSE(askDeclined("192.0.2.9", "Stranger", "KEY-2"));
    EXPECT_EQ(published.prompts().size(), 1u) << "refused without a prompt";
    askDeclined("192.0.2.10", "Other", "KEY-3");
    askDeclined("192.0.2.9", "Stranger", "KEY-4", "ID", false);
    EXPECT_EQ(published.prompts().size(), 3u);
    now = now.load() + 1s;
    askDeclined("192.0.2.9", "Stranger", "KEY-5");
    EXPECT_EQ(published.prompts().size(), 4u) << "the interval is over";
}

} // namespace
} // namespace tarnwick
