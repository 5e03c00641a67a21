#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace tarnwick;

Bytes certificateFor(const P256PrivateKey& key) {
    return SelfSignedCertificate::make(key.publicKey().x963(), "Studio Mac", "Tarnwick", std::nullopt,
                                       std::chrono::system_clock::now(), 315'360'000,
                                       [&](ByteView toBeSigned) { return key.signature(toBeSigned); });
}

std::string freshPassword() {
    return Base64::encode(SecureRandom::bytes(32));
}

// What a start pays: key and identifier from their files, certificate, container under a fresh
// password, import.
void loadOrCreate(benchmark::State& state) {
    const testing::TemporaryDirectory home;
    PersistentIdentity::loadOrCreate(home.path(), "Studio Mac", DevicePlatform::macOS, "1.0.0");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            PersistentIdentity::loadOrCreate(home.path(), "Studio Mac", DevicePlatform::macOS, "1.0.0"));
    }
}
BENCHMARK(loadOrCreate)->Unit(benchmark::kMillisecond);

// The first start also draws the key and identifier and writes both files to disk.
void firstStart(benchmark::State& state) {
    const testing::TemporaryDirectory home;
    for (auto _ : state) {
        PersistentIdentity::clear(home.path());
        benchmark::DoNotOptimize(
            PersistentIdentity::loadOrCreate(home.path(), "Studio Mac", DevicePlatform::macOS, "1.0.0"));
    }
}
BENCHMARK(firstStart)->Unit(benchmark::kMillisecond);

void certificateOnly(benchmark::State& state) {
    const P256PrivateKey key = P256PrivateKey::generate();
    for (auto _ : state) {
        benchmark::DoNotOptimize(certificateFor(key));
    }
}
BENCHMARK(certificateOnly)->Unit(benchmark::kMicrosecond);

void containerOnly(benchmark::State& state) {
    const P256PrivateKey key = P256PrivateKey::generate();
    const Bytes certificate = certificateFor(key);
    const std::string password = freshPassword();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PKCS12::make(key.x963(), certificate, password));
    }
}
BENCHMARK(containerOnly)->Unit(benchmark::kMillisecond);

void importOnly(benchmark::State& state) {
    const P256PrivateKey key = P256PrivateKey::generate();
    const std::string password = freshPassword();
    const Bytes container = PKCS12::make(key.x963(), certificateFor(key), password);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PKCS12::identity(container, password));
    }
}
BENCHMARK(importOnly)->Unit(benchmark::kMillisecond);

} // namespace
