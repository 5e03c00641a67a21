#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/post.hpp>

#include <exception>
#include <functional>
#include <memory>

namespace tarnwick {

/// The owner's handle of a spawned coroutine: it can cancel the coroutine, and the coroutine's end
/// (normal, cancelled or failed) is reported to the completion given at spawn.
class Task {
public:
    using OnDone = std::function<void(std::exception_ptr)>;

    Task() = default;

    /// Starts the coroutine on the executor (use the owner's strand).
    static Task spawn(const asio::any_io_executor& executor, asio::awaitable<void> body, OnDone onDone) {
        Task task;
        task.state_ = std::make_shared<State>(executor);
        asio::co_spawn(executor, std::move(body),
                       asio::bind_cancellation_slot(
                           task.state_->signal.slot(),
                           [state = task.state_, onDone = std::move(onDone)](std::exception_ptr error) {
                               state->done = true;
                               if (onDone) {
                                   onDone(error);
                               }
                           }));
        return task;
    }

    /// Asks the coroutine to stop at its next cancellable wait; safe from any thread, any number of times.
    void cancel() const {
        if (state_) {
            asio::post(state_->executor, [state = state_] {
                if (!state->done) {
                    state->signal.emit(asio::cancellation_type::terminal);
                }
            });
        }
    }

    explicit operator bool() const { return state_ != nullptr; }

private:
    struct State {
        explicit State(asio::any_io_executor executor) : executor(std::move(executor)) {}
        asio::any_io_executor executor;
        asio::cancellation_signal signal;
        bool done = false;
    };
    std::shared_ptr<State> state_;
};

} // namespace tarnwick
