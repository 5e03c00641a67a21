#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/experimental/concurrent_channel.hpp>
#include <asio/use_awaitable.hpp>

#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

namespace tarnwick {

/// An unbounded asynchronous sequence with one consumer. Producers on any thread push values and end it
/// normally or with an error; the consumer sees every value pushed before the end, then the end.
/// Copies share one sequence, so a producer end and a consumer end can live in different owners. A producer's
/// call keeps the sequence alive to its end: the consumer it wakes may drop its copy at once, on another
/// thread.
template <typename T> class AsyncQueue {
public:
    explicit AsyncQueue(const asio::any_io_executor& executor) : state_(std::make_shared<State>(executor)) {}

    /// Adds a value; false once the sequence has ended.
    bool push(T value) const {
        const auto state = state_;
        std::lock_guard lock(state->mutex);
        if (state->ended) {
            return false;
        }
        send(*state, Item{std::move(value)});
        return true;
    }

    /// Adds a last value and ends the sequence at once; false once the sequence has ended.
    bool pushFinal(T value) const {
        const auto state = state_;
        std::lock_guard lock(state->mutex);
        if (state->ended) {
            return false;
        }
        state->ended = true;
        send(*state, Item{std::move(value)});
        send(*state, Item{End{}});
        return true;
    }

    /// Ends the sequence after the values already pushed; with an error the consumer gets it thrown.
    /// Only the first end counts; false for later ones.
    bool finish(std::exception_ptr error = nullptr) const {
        const auto state = state_;
        std::lock_guard lock(state->mutex);
        if (state->ended) {
            return false;
        }
        state->ended = true;
        send(*state, Item{End{error}});
        return true;
    }

    bool isFinished() const {
        std::lock_guard lock(state_->mutex);
        return state_->ended;
    }

    /// The next value, or none once the sequence has ended normally; rethrows the error it ended with.
    /// After the end every call gives the end again. Cancellable while waiting.
    asio::awaitable<std::optional<T>> next() const {
        if (!state_->seenEnd) {
            Item item = co_await state_->channel.async_receive(asio::use_awaitable);
            if (T* value = std::get_if<T>(&item)) {
                co_return std::move(*value);
            }
            state_->seenEnd = true;
            state_->endError = std::get<End>(item).error;
        }
        if (state_->endError) {
            std::rethrow_exception(state_->endError);
        }
        co_return std::nullopt;
    }

private:
    struct End {
        std::exception_ptr error;
    };
    // End comes first: the channel needs a default-constructible message.
    using Item = std::variant<End, T>;

    struct State {
        explicit State(const asio::any_io_executor& executor)
            : channel(executor, std::numeric_limits<std::size_t>::max()) {}
        std::mutex mutex;
        bool ended = false;
        asio::experimental::concurrent_channel<void(asio::error_code, Item)> channel;
        // Touched by the one consumer only.
        bool seenEnd = false;
        std::exception_ptr endError;
    };
    std::shared_ptr<State> state_;

    // Asio 1.22's channel refuses every `try_send` after a waiting receive was cancelled, until the next
    // receive starts. A send that waits for that receive keeps the value, behind any others that wait.
    // (A refused `try_send` leaves its argument untouched.) Called with the mutex held, so sends keep
    // their order.
    static void send(State& state, Item&& item) {
        if (!state.channel.try_send(asio::error_code{}, std::move(item))) {
            state.channel.async_send(asio::error_code{}, std::move(item), [](asio::error_code) {});
        }
    }
};

} // namespace tarnwick
