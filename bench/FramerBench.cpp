#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace tarnwick;

Bytes streamOf(const TWCPFrame& frame, std::size_t count) {
    const Bytes one = frame.encode();
    Bytes stream;
    stream.reserve(one.size() * count);
    for (std::size_t i = 0; i < count; ++i) {
        stream.insert(stream.end(), one.begin(), one.end());
    }
    return stream;
}

/// Feeds `stream` in slices of `sliceSize`, draining after each; returns the number of frames.
std::size_t feed(TWCPFramer& framer, ByteView stream, std::size_t sliceSize) {
    std::size_t frames = 0;
    for (std::size_t at = 0; at < stream.size(); at += sliceSize) {
        framer.append(stream.subspan(at, std::min(sliceSize, stream.size() - at)));
        const auto drained = framer.drain();
        frames += drained.size();
        benchmark::DoNotOptimize(drained.data());
    }
    return frames;
}

// File data as the network channel sees it: 1 MiB chunk frames arriving in 64 KiB reads.
void ChunkFramesIn64KiBSlices(benchmark::State& state) {
    const Bytes stream = streamOf(TWCPFrame(TWCPFrameKind::chunk, {}, 1, Bytes(1 << 20, 0xA7)), 64);
    TWCPFramer framer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(feed(framer, stream, 64 << 10));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(ChunkFramesIn64KiBSlices)->Unit(benchmark::kMillisecond);

// Small flow frames; the argument is the slice size, up to one whole buffer full of frames, where
// taking each frame from the front of the buffer must not cost a move of everything behind it.
void ControlFrames(benchmark::State& state) {
    const auto frame =
        TWCPFrame::json(TWCPFrameKind::flow, FlowMessage{"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0", 1 << 22}, 7);
    const std::size_t sliceSize = static_cast<std::size_t>(state.range(0));
    const std::size_t count = TWCPFramer::maximumBufferedBytes / frame.encode().size();
    const Bytes stream = streamOf(frame, count);
    TWCPFramer framer;
    std::size_t frames = 0;
    for (auto _ : state) {
        frames += feed(framer, stream, sliceSize);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(ControlFrames)->Arg(64 << 10)->Arg(TWCPFramer::maximumBufferedBytes)->Unit(benchmark::kMillisecond);

} // namespace
