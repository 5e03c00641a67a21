#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <openssl/rand.h>

namespace tarnwick::SecureRandom {

Bytes bytes(std::size_t count) {
    Bytes random(count);
    if (RAND_bytes(random.data(), static_cast<int>(count)) != 1) {
        throw TWCPError::internalFailure("no secure random bytes");
    }
    return random;
}

} // namespace tarnwick::SecureRandom
