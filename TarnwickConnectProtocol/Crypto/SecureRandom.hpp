#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <cstddef>

namespace tarnwick::SecureRandom {

/// `count` bytes from OpenSSL's generator; throws `internalFailure` when it has none to give, since every
/// caller needs them unguessable (keys, nonces, salts, serial numbers).
Bytes bytes(std::size_t count);

} // namespace tarnwick::SecureRandom
