#include "TarnwickConnectProtocol/Certificates/PlatformError.hpp"

#include <utility>

namespace tarnwick {

PlatformError::PlatformError(std::string_view domain, std::int64_t code, std::string description)
    : domain_(domain),
      code_(code),
      description_(std::move(description)) {}

} // namespace tarnwick
