#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "tests/Support/QtApplication.hpp"

#include <QThread>
#include <asio/co_spawn.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tarnwick {
namespace {

asio::awaitable<void> hopToEngineAndBack(asio::any_io_executor pool, QThread* main, bool* ranElsewhere,
                                         bool* resumedOnMain) {
    auto work = runBlocking(pool, [main] { return QThread::currentThread() != main; });
    *ranElsewhere = co_await std::move(work);
    *resumedOnMain = QThread::currentThread() == main;
}

TEST(QtExecutorTest, CoroutineAwaitsEngineWorkAndResumesOnTheMainThread) {
    testing::qtApplication();
    QtExecutionContext context;
    EngineThreads engine(1, 1);
    bool ranElsewhere = false;
    bool resumedOnMain = false;
    bool done = false;
    asio::co_spawn(
        QtExecutor(context),
        hopToEngineAndBack(engine.blocking(), QThread::currentThread(), &ranElsewhere, &resumedOnMain),
        [&](std::exception_ptr) { done = true; });
    ASSERT_TRUE(testing::waitFor([&] { return done; }));
    EXPECT_TRUE(ranElsewhere);
    EXPECT_TRUE(resumedOnMain);
}

TEST(QtExecutorTest, WorkPostedFromAnotherThreadRunsInOrderOnTheMainThread) {
    testing::qtApplication();
    QtExecutionContext context;
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i) {
            asio::post(QtExecutor(context), [&order, i] { order.push_back(i); });
        }
    });
    poster.join();
    EXPECT_TRUE(order.empty()) << "nothing runs before the event loop does";
    ASSERT_TRUE(testing::waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

} // namespace
} // namespace tarnwick
