#pragma once

#include <algorithm>
#include <net/if.h>
#include <set>
#include <string>

namespace tarnwick::testing {

/// Whether the network interfaces this process sees are exactly these: the sign of a network namespace
/// made for a test, where nothing reaches the machine's real interfaces.
inline bool seesOnlyInterfaces(const std::set<std::string>& expected) {
    std::set<std::string> present;
    if (struct if_nameindex* interfaces = if_nameindex()) {
        for (const struct if_nameindex* entry = interfaces; entry->if_index != 0; ++entry) {
            present.insert(entry->if_name);
        }
        if_freenameindex(interfaces);
    }
    return present == expected;
}

} // namespace tarnwick::testing
