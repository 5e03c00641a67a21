#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Device/DevicePairing.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;

/// The events a pairing publishes, kept for the test.
struct Published {
    std::mutex mutex;
    std::vector<DeviceEvent> events;

    std::vector<std::uint64_t> prompts() {
        std::lock_guard lock(mutex);
        std::vector<std::uint64_t> found;
        for (const auto& event : events) {
            if (const auto* requested = std::get_if<DeviceEvents::PairingRequested>(&event)) {
                found.push_back(requested->prompt);
            }
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
    std::shared_ptr<DevicePairing> pairing = std::make_shared<DevicePairing>(
        engine.executor(), std::set<std::string>{"KNOWN"}, [this](DeviceEvent event) {
            std::lock_guard lock(published.mutex);
            published.events.push_back(std::move(event));
        });

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
            *answer = co_await pairing->confirmPairing("123456", name, name);
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
        auto ask = [&]() -> asio::awaitable<void> {
            answer = co_await pairing->confirmPairing("1", "P", "P");
        };
        co_await firstToFinish(ask(), sleepFor(50ms));
        co_return answer;
    }());
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(published.ended(), 1u);
}

TEST_F(DevicePairingTest, TrustFollowsThePairedListAndConfirmedPairings) {
    EXPECT_TRUE(engine.run(pairing->isPaired("KNOWN")));
    engine.run(pairing->persistPairing("NEW", "NEW-ID", "Tablet"));
    EXPECT_TRUE(engine.run(pairing->isPaired("NEW")));
    pairing->setPairedKeys({});
    EXPECT_FALSE(engine.run(pairing->isPaired("KNOWN"))) << "a forgotten device asks again";
}

} // namespace
} // namespace tarnwick
