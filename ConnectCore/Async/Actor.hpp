#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/strand.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick {

/// Base of every engine actor: it owns a strand, and each operation runs on it through `enter`, so the
/// actor's state is touched by one operation at a time. While an operation awaits, others may run.
class Actor {
public:
    using Strand = asio::strand<asio::any_io_executor>;

    const Strand& strand() const { return strand_; }

protected:
    explicit Actor(const asio::any_io_executor& executor) : strand_(asio::make_strand(executor)) {}

    /// Runs the operation on the actor's strand and resumes the caller on its own executor.
    /// Cancellation of the caller reaches the operation. Pass a member coroutine, whose frame keeps its
    /// arguments; a capturing lambda would leave its captures behind when the temporary goes.
    template <typename T> asio::awaitable<T> enter(asio::awaitable<T> operation) const {
        return asio::co_spawn(strand_, std::move(operation), asio::use_awaitable);
    }

    /// A copy of one field of the actor's state, taken on the strand.
    template <typename T> asio::awaitable<T> readOnStrand(const T& field) const {
        return enter([](const T& value) -> asio::awaitable<T> { co_return value; }(field));
    }

private:
    Strand strand_;
};

} // namespace tarnwick
