#pragma once

#include "ConnectCore/Async/AsyncQueue.hpp"

namespace tarnwick {

/// A one-shot completion: resumed exactly once, with a value or an error, from any thread; one task
/// awaits it. Later resumptions are ignored and report false.
template <typename T> class Completion {
public:
    explicit Completion(const asio::any_io_executor& executor) : queue_(executor) {}

    bool resume(T value) const { return queue_.pushFinal(std::move(value)); }
    bool fail(std::exception_ptr error) const { return queue_.finish(error); }

    /// The value; rethrows the error. Cancellable while waiting.
    asio::awaitable<T> wait() const { co_return *co_await queue_.next(); }

private:
    AsyncQueue<T> queue_;
};

} // namespace tarnwick
