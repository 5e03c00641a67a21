#include "ConnectCore/WatchFolder/WatchFolder.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace tarnwick;
using namespace std::chrono_literals;

std::chrono::microseconds processCPUTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto toDuration = [](const timeval& time) {
        return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
    };
    return toDuration(usage.ru_utime) + toDuration(usage.ru_stime);
}

// CPU time of the whole process while a watcher looks after a folder of `range(0)` files and nothing
// happens for a minute. With `range(1)` = 0 no notification has arrived yet, so every 2-second poll
// rescans the folder; with 1 a first file has been reported and polls only look at pending files.
void idleWatcher(benchmark::State& state) {
    const testing::TemporaryDirectory folder;
    for (int i = 0; i < state.range(0); ++i) {
        testing::appendToFile(folder / ("photo" + std::to_string(i) + ".jpg"), "jpeg");
    }
    asio::io_context context;
    auto work = asio::make_work_guard(context);
    std::jthread runner([&] { context.run(); });
    std::atomic<int> reports = 0;
    auto watcher = std::make_shared<WatchFolder>(context.get_executor(), folder.path(),
                                                 std::make_shared<FileSettleDetector>(context.get_executor()),
                                                 [&](const std::filesystem::path&) { ++reports; });
    watcher->start();
    if (state.range(1) == 1) {
        testing::appendToFile(folder / "first.jpg", "jpeg");
        while (reports == 0) {
            std::this_thread::sleep_for(100ms);
        }
    }
    for (auto _ : state) {
        const auto before = processCPUTime();
        std::this_thread::sleep_for(60s);
        state.counters["cpu_ms_per_minute"] = static_cast<double>((processCPUTime() - before).count()) / 1000;
    }
    watcher.reset();
    work.reset();
    context.stop();
}

BENCHMARK(idleWatcher)
    ->ArgsProduct({{0, 1000}, {0, 1}})
    ->ArgNames({"files", "notified"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
