#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

/// An answer or stored value that is not the JSON the account layer expects; the message names what
/// was expected. Passed to the caller unchanged.
class DecodingError : public std::runtime_error {
public:
    explicit DecodingError(const std::string& expected) : std::runtime_error("cannot decode " + expected) {}
};

} // namespace tarnwick
