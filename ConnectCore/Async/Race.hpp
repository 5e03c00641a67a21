#pragma once

#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <chrono>
#include <exception>

namespace tarnwick {

/// Runs both on the caller's executor until the first one finishes, which decides the outcome: its
/// error is thrown, or it returns. The other is cancelled, and awaited, before this returns.
/// (Asio's `||` waits for the first success instead, so a quick failure would wait for the slower side.)
inline asio::awaitable<void> firstToFinish(asio::awaitable<void> a, asio::awaitable<void> b) {
    const auto executor = co_await asio::this_coro::executor;
    auto [order, errorA, errorB] = co_await asio::experimental::make_parallel_group(
                                       asio::co_spawn(executor, std::move(a), asio::experimental::deferred),
                                       asio::co_spawn(executor, std::move(b), asio::experimental::deferred))
                                       .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    if (const auto first = order[0] == 0 ? errorA : errorB) {
        std::rethrow_exception(first);
    }
}

/// Sleeps for the duration on a monotonic clock; cancellable.
inline asio::awaitable<void> sleepFor(std::chrono::steady_clock::duration duration) {
    asio::steady_timer timer(co_await asio::this_coro::executor, duration);
    co_await timer.async_wait(asio::use_awaitable);
}

/// Runs the operation; when it has not finished after the duration it is cancelled and `error` is thrown.
template <typename Error>
asio::awaitable<void> withTimeout(asio::awaitable<void> operation,
                                  std::chrono::steady_clock::duration duration, Error error) {
    co_await firstToFinish(std::move(operation), [](auto duration, Error error) -> asio::awaitable<void> {
        co_await sleepFor(duration);
        throw error;
    }(duration, std::move(error)));
}

} // namespace tarnwick
