#include "ConnectCore/Host/DescriptorLimit.hpp"

#include <sys/resource.h>

namespace tarnwick::DescriptorLimit {

std::uint64_t raiseToHardLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        const rlimit raised{limit.rlim_max, limit.rlim_max};
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur;
}

} // namespace tarnwick::DescriptorLimit
