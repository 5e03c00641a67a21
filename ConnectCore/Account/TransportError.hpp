#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

/// A request that got no complete HTTP answer. The account layer passes it on unchanged.
class TransportError : public std::runtime_error {
public:
    enum class Case {
        cannotConnect,    ///< the host could not be resolved or reached
        timedOut,         ///< no complete answer within the request's timeout
        responseTooLarge, ///< the answer's body ran past the client's limit
        notHTTP,          ///< the server answered with something that is not HTTP
        failed,           ///< anything else the transport reported; the message says what
    };

    TransportError(Case errorCase, const std::string& message)
        : std::runtime_error(message),
          case_(errorCase) {}

    Case errorCase() const { return case_; }

private:
    Case case_;
};

} // namespace tarnwick
