// Moves one large file between two coordinators over an in-memory session pair, on real files: describe
// (hash), offer, stream under the credit window, write, fsync, verify (hash again) and place. Reports the
// end-to-end rate, where the time goes, the peak resident memory above the process's baseline, and the
// same machine's time for the irreducible work: hashing the file twice with OpenSSL's tool, plus `cp`.
// The file size is 1 GiB; TARNWICK_BENCH_MIB overrides it.

#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "tests/Support/SessionFixture.hpp"

#include <asio/detached.hpp>
#include <asio/thread_pool.hpp>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

std::uint64_t fileSize() {
    const char* mib = std::getenv("TARNWICK_BENCH_MIB");
    return (mib ? std::strtoull(mib, nullptr, 10) : 1024) * 0x100000;
}

double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// A scratch folder holding the source file and the receive folder.
struct Workspace {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarnwick-bench-" + std::to_string(getpid()));
    std::filesystem::path source = root / "source.bin";
    std::filesystem::path downloads = root / "downloads";

    explicit Workspace(std::uint64_t size) {
        std::filesystem::create_directories(downloads);
        // Written in blocks, so that making the file does not raise the process's peak memory.
        std::vector<char> block(4 * 0x100000);
        std::mt19937_64 random(7);
        std::ofstream out(source, std::ios::binary);
        for (std::uint64_t written = 0; written < size; written += block.size()) {
            for (std::size_t i = 0; i < block.size(); i += 8) {
                const std::uint64_t word = random();
                std::memcpy(block.data() + i, &word, 8);
            }
            out.write(block.data(),
                      static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), size - written)));
        }
    }
    ~Workspace() { std::filesystem::remove_all(root); }
};

double runShell(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
    return secondsSince(start);
}

/// Timestamps of one send, from the progress reports.
struct Timeline {
    std::mutex mutex;
    std::optional<Clock::time_point> firstChunk;
    Clock::time_point lastChunk;

    void record(const TransferProgress& progress) {
        std::lock_guard lock(mutex);
        const auto now = Clock::now();
        if (!firstChunk) {
            firstChunk = now;
        }
        if (progress.sentBytes == progress.totalBytes) {
            lastChunk = now;
        }
    }
};

asio::awaitable<void> sendAndReceive(std::shared_ptr<TransferCoordinator> sender,
                                     std::shared_ptr<TransferCoordinator> receiver,
                                     std::filesystem::path path, Timeline* timeline) {
    auto onProgress = [timeline](const TransferProgress& progress) { timeline->record(progress); };
    std::vector<std::filesystem::path> paths{std::move(path)};
    co_await sender->send(std::move(paths), std::nullopt, std::move(onProgress));
    auto completed = receiver->receiver()->completed();
    co_await completed.next();
}

void TransferLargeFile(benchmark::State& state) {
    const std::uint64_t size = fileSize();
    const Workspace workspace(size);
    const double baselineMiB = peakResidentMiB();
    const auto threads = static_cast<int>(state.range(0));
    testing::Engine engine(threads);
    asio::thread_pool pool(2);
    double describeSeconds = 0, streamSeconds = 0, verifySeconds = 0, totalSeconds = 0;
    for (auto _ : state) {
        testing::SessionPair pair(engine.executor(), {});
        engine.run(pair.handshake());
        auto sender = std::make_shared<TransferCoordinator>(engine.executor(), pair.initiator.session,
                                                            workspace.root / "unused", pool.get_executor());
        auto receiver = std::make_shared<TransferCoordinator>(engine.executor(), pair.responder.session,
                                                              workspace.downloads, pool.get_executor());
        asio::co_spawn(engine.executor(), sender->run(), asio::detached);
        asio::co_spawn(engine.executor(), receiver->run(), asio::detached);
        Timeline timeline;
        const auto start = Clock::now();
        engine.run(sendAndReceive(sender, receiver, workspace.source, &timeline), std::chrono::seconds(600));
        const auto end = Clock::now();
        totalSeconds += std::chrono::duration<double>(end - start).count();
        describeSeconds += std::chrono::duration<double>(*timeline.firstChunk - start).count();
        streamSeconds += std::chrono::duration<double>(timeline.lastChunk - *timeline.firstChunk).count();
        verifySeconds += std::chrono::duration<double>(end - timeline.lastChunk).count();
        engine.run(pair.initiator.session->close(std::nullopt));
        std::filesystem::remove(workspace.downloads / "source.bin");
    }
    const double peakAboveBaseline = peakResidentMiB() - baselineMiB;

    const auto copy = workspace.root / "copy.bin";
    const std::string source = workspace.source.string();
    const double irreducible = runShell("openssl dgst -sha256 '" + source + "' >/dev/null") +
                               runShell("cp '" + source + "' '" + copy.string() + "'") +
                               runShell("openssl dgst -sha256 '" + copy.string() + "' >/dev/null");
    const double syncSeconds = runShell("sync '" + copy.string() + "'");

    const double iterations = static_cast<double>(state.iterations());
    const double megabytes = static_cast<double>(size) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
    state.counters["MB/s"] = megabytes / (totalSeconds / iterations);
    state.counters["describe_s"] = describeSeconds / iterations;
    state.counters["stream_s"] = streamSeconds / iterations;
    state.counters["verify_place_s"] = verifySeconds / iterations;
    state.counters["peak_MiB_above_base"] = peakAboveBaseline;
    state.counters["irreducible_s"] = irreducible;
    state.counters["irreducible_sync_s"] = syncSeconds;
    state.counters["ratio_to_irreducible"] = (totalSeconds / iterations) / irreducible;
}
BENCHMARK(TransferLargeFile)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("engineThreads")
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
