#pragma once

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/strand.hpp>
#include <asio/use_future.hpp>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarnwick::testing {

/// Drives an io_context on a number of threads until a test coroutine finishes, and returns its result
/// (or rethrows its error). A coroutine that runs past the limit fails the test instead of hanging it.
class Engine {
public:
    explicit Engine(int threads = 1) : threads_(threads) {}

    asio::any_io_executor executor() { return context_.get_executor(); }

    template <typename T>
    T run(asio::awaitable<T> body, std::chrono::seconds limit = std::chrono::seconds(30)) {
        // The body is one line of work: on a strand, its awaitable operators (`&&`, `||`) never cancel
        // one branch from another thread while that branch runs.
        auto future = asio::co_spawn(asio::make_strand(context_), std::move(body), asio::use_future);
        std::vector<std::jthread> workers;
        for (int i = 0; i < threads_; ++i) {
            workers.emplace_back([this] { context_.run(); });
        }
        const bool finished = future.wait_for(limit) == std::future_status::ready;
        context_.stop();
        workers.clear();
        context_.restart();
        if (!finished) {
            throw std::runtime_error("test coroutine did not finish in time");
        }
        return future.get();
    }

private:
    asio::io_context context_;
    // Held for the engine's whole life, so that the work count never reaches zero. Otherwise work that
    // finishes late on a foreign thread (a thread pool resuming a completion) can stop the context
    // just after the next run restarted it, and that run would hang.
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning_{context_.get_executor()};
    int threads_;
};

} // namespace tarnwick::testing
