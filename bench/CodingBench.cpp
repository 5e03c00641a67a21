#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tarnwick;

// A typical drop of 50 photos: every descriptor with a digest, dimensions and a small thumbnail.
OfferMessage fiftyFileOffer() {
    OfferMessage offer{.offerID = "8C1D5E3A-0B6F-4C2D-9E7A-1F3B5D7C9E0A", .origin = "drop"};
    for (int i = 0; i < 50; ++i) {
        offer.files.push_back({.fileID = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E" + std::to_string(100 + i),
                               .name = "IMG_" + std::to_string(4000 + i) + ".HEIC",
                               .byteCount = 3'400'000u + static_cast<std::uint64_t>(i),
                               .utType = "public.heic",
                               .sha256 = Bytes(32, static_cast<std::uint8_t>(i)),
                               .pixelWidth = 4032,
                               .pixelHeight = 3024,
                               .colorSpaceName = "Display P3",
                               .playability = Playability::native,
                               .thumbnailJPEG = Bytes(2048, 0xD8)});
    }
    return offer;
}

void EncodeFiftyFileOffer(benchmark::State& state) {
    const OfferMessage offer = fiftyFileOffer();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Bytes encoded = TWCPCoding::encode(offer);
        bytes += encoded.size();
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(EncodeFiftyFileOffer)->Unit(benchmark::kMicrosecond);

void DecodeFiftyFileOffer(benchmark::State& state) {
    const Bytes encoded = TWCPCoding::encode(fiftyFileOffer());
    for (auto _ : state) {
        benchmark::DoNotOptimize(TWCPCoding::decode<OfferMessage>(encoded));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(DecodeFiftyFileOffer)->Unit(benchmark::kMicrosecond);

} // namespace
