#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>

#include <thread>
#include <vector>

namespace tarnwick {

/// The threads the engine runs on: an io_context for sockets and actors, and a small pool for blocking
/// work (hashing, disk, media parsing, folder scans) that must not hold up the sockets.
class EngineThreads {
public:
    explicit EngineThreads(int networkThreads = 1, int blockingThreads = 2);
    /// Stops both and waits for their threads.
    ~EngineThreads();
    EngineThreads(const EngineThreads&) = delete;
    EngineThreads& operator=(const EngineThreads&) = delete;

    asio::any_io_executor executor() { return context_.get_executor(); }
    asio::any_io_executor blocking() { return pool_.get_executor(); }

    /// Ends all engine work; queued handlers are dropped. Called before the main thread's objects go.
    void stop();

private:
    asio::io_context context_;
    // The engine idles between connections; without the guard its threads would return.
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning_{context_.get_executor()};
    asio::thread_pool pool_;
    std::vector<std::thread> threads_;
};

} // namespace tarnwick
