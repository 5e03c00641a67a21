#include "TarnwickConnectProtocol/Files/SafeFilename.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

// Whatever a peer names its file, the result is one non-empty, visible component within the budget,
// and sanitising it again changes nothing (which also proves it is valid UTF-8 without controls).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view fallback = "Untitled";
    const std::string safe = SafeFilename::sanitize(name, fallback);
    require(!safe.empty() && safe != "." && safe != "..");
    require(safe.find('/') == std::string::npos && safe.find('\0') == std::string::npos);
    require(!safe.starts_with('.'));
    require(safe.size() <= SafeFilename::maximumByteCount);
    require(SafeFilename::sanitize(safe, fallback) == safe);
    SafeFilename::isSuspicious(name);
    return 0;
}
