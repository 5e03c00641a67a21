// Handshakes per second between two sessions over an in-memory pair, both sides already paired.
#include "tests/Support/SessionFixture.hpp"

#include <benchmark/benchmark.h>

namespace tarnwick {
namespace {

void BM_PairedHandshake(benchmark::State& state) {
    testing::Engine engine(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // Key generation belongs to start-up, not to the handshake.
        state.PauseTiming();
        testing::SessionPair pair(engine.executor(), {});
        state.ResumeTiming();
        const auto [first, second] = engine.run(pair.handshake());
        if (first || second) {
            state.SkipWithError("handshake failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PairedHandshake)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarnwick
