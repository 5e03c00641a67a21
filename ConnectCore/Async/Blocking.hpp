#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

#include <type_traits>
#include <utility>

namespace tarnwick {

/// Runs blocking work (disk I/O, hashing a file, fsync) on `pool`, a small thread pool that drives no
/// sockets, and resumes the caller on its own executor with the result or the thrown error.
/// The work is a callable that owns what it touches: the caller may be suspended for a long time.
template <typename Work>
asio::awaitable<std::invoke_result_t<Work&>> runBlocking(const asio::any_io_executor& pool, Work work) {
    using Result = std::invoke_result_t<Work&>;
    // co_spawn keeps the function object alive in its own frame until the work has finished.
    auto job = [work = std::move(work)]() mutable -> asio::awaitable<Result> { co_return work(); };
    co_return co_await asio::co_spawn(pool, std::move(job), asio::use_awaitable);
}

} // namespace tarnwick
