#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthSession.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/DecodingError.hpp"
#include "ConnectCore/Account/RegisteredDevice.hpp"
#include "ConnectCore/Account/RegisteredPairing.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// Runs one decoder; its typed refusals are expected, anything else escapes and fails the run.
template <typename Decode> void decoding(Decode decode) {
    try {
        decode();
    } catch (const tarnwick::DecodingError&) {
    } catch (const tarnwick::AuthError&) {
    }
}

} // namespace

// The input is whatever the account layer reads from outside: a stored session, a token answer, a
// registry answer, a JWT or a sign-in return address.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    const std::string text(reinterpret_cast<const char*>(data), size);
    decoding([&] {
        const AuthSession session = AuthSession::decode(text);
        require(AuthSession::decode(session.encode()) == session);
    });
    decoding([&] { AuthStore::TokenResponse::decode(text); });
    decoding([&] { AuthStore::decodeClaims(text); });
    decoding([&] { AuthStore::sessionFromCallback(text, AuthSession::Clock::now()); });
    require(APIError::fromAnswer(403, text).errorCase() == APIError::Case::http);
    const auto json = nlohmann::json::parse(text, nullptr, false);
    decoding([&] { RegisteredDevice::decode(json); });
    decoding([&] { RegisteredPairing::decode(json); });
    return 0;
}
