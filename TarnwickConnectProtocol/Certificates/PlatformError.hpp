#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tarnwick {

/// A failure reported by a platform service (cipher, PKCS#12 import), passed on unchanged: the
/// domain it belongs to, the service's status as code, and a description for diagnostics.
class PlatformError : public std::exception {
public:
    /// The domain of statuses reported by the operating system's own services.
    static constexpr std::string_view osStatusDomain = "OSStatus";

    PlatformError(std::string_view domain, std::int64_t code, std::string description);

    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string domain_;
    std::int64_t code_;
    std::string description_;
};

} // namespace tarnwick
