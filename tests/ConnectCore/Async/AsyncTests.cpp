#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

namespace tarnwick {
namespace {

using namespace asio::experimental::awaitable_operators;
using namespace std::chrono_literals;

class AsyncTest : public ::testing::TestWithParam<int> {
protected:
    testing::Engine engine{GetParam()};
};

TEST_P(AsyncTest, QueueDeliversEverythingBeforeItsErrorEnd) {
    AsyncQueue<int> queue(engine.executor());
    std::jthread producer([&] {
        for (int i = 0; i < 1000; ++i) {
            queue.push(i);
        }
        queue.finish(std::make_exception_ptr(std::runtime_error("gone")));
        EXPECT_FALSE(queue.push(1000));
    });
    const int received = engine.run([&]() -> asio::awaitable<int> {
        int count = 0;
        try {
            while (auto value = co_await queue.next()) {
                EXPECT_EQ(*value, count++);
            }
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "gone");
        }
        // The end stays the end.
        EXPECT_THROW(co_await queue.next(), std::runtime_error);
        co_return count;
    }());
    EXPECT_EQ(received, 1000);
}

TEST_P(AsyncTest, CompletionResumesExactlyOnce) {
    Completion<int> completion(engine.executor());
    EXPECT_TRUE(completion.resume(7));
    EXPECT_FALSE(completion.resume(8));
    EXPECT_FALSE(completion.fail(std::make_exception_ptr(std::runtime_error("late"))));
    EXPECT_EQ(engine.run(completion.wait()), 7);
}

// A consumer that gave up waiting (a timeout) and asks again later still gets everything pushed meanwhile.
TEST_P(AsyncTest, QueueKeepsWhatIsPushedAfterACancelledWait) {
    AsyncQueue<int> queue(engine.executor());
    const auto received = engine.run([&]() -> asio::awaitable<std::vector<int>> {
        auto gaveUp = co_await (queue.next() || sleepFor(10ms));
        EXPECT_EQ(gaveUp.index(), 1u);
        queue.push(1);
        queue.push(2);
        std::vector<int> values;
        values.push_back(*co_await queue.next());
        queue.push(3);
        queue.finish();
        while (auto value = co_await queue.next()) {
            values.push_back(*value);
        }
        co_return values;
    }());
    EXPECT_EQ(received, (std::vector<int>{1, 2, 3}));
}

class Counter : public Actor {
public:
    explicit Counter(const asio::any_io_executor& executor) : Actor(executor) {}
    asio::awaitable<int> increment() { return enter(incrementOnStrand()); }

private:
    asio::awaitable<int> incrementOnStrand() { co_return ++value_; }

    int value_ = 0;
};

asio::awaitable<void> incrementMany(Counter& counter) {
    for (int i = 0; i < 500; ++i) {
        co_await counter.increment();
    }
}

// Callers on many threads at once never touch the actor's state together.
TEST_P(AsyncTest, ActorRunsOneOperationAtATime) {
    Counter counter(engine.executor());
    const int last = engine.run([&]() -> asio::awaitable<int> {
        co_await (incrementMany(counter) && incrementMany(counter) && incrementMany(counter));
        co_return co_await counter.increment();
    }());
    EXPECT_EQ(last, 1501);
}

TEST_P(AsyncTest, CancelledTaskReportsItsEnd) {
    std::promise<bool> ended;
    auto strand = asio::make_strand(engine.executor());
    const Task task = Task::spawn(strand, sleepFor(10s),
                                  [&](std::exception_ptr error) { ended.set_value(error != nullptr); });
    task.cancel();
    auto endedFuture = ended.get_future();
    engine.run([&]() -> asio::awaitable<void> {
        while (endedFuture.wait_for(0s) != std::future_status::ready) {
            co_await sleepFor(1ms);
        }
    }());
    EXPECT_TRUE(endedFuture.get());
}

INSTANTIATE_TEST_SUITE_P(Threads, AsyncTest, ::testing::Values(1, 4));

} // namespace
} // namespace tarnwick
