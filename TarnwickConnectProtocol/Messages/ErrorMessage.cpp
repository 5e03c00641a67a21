#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"

#include <utility>

namespace tarnwick {

ErrorMessage::ErrorMessage(std::uint16_t code, std::string message, bool isFatal)
    : code(code),
      message(std::move(message)),
      isFatal(isFatal) {}

ErrorMessage::ErrorMessage(const TWCPError& error, std::string message)
    : ErrorMessage(error.code(), std::move(message), error.isFatal()) {}

} // namespace tarnwick
