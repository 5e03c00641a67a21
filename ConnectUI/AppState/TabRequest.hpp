#pragma once

#include <string>

namespace tarnwick {

/// The last request to show a main-window tab; `count` makes repeated requests for one tab distinct.
struct TabRequest {
    std::string tab = "connect";
    int count = 0;

    bool operator==(const TabRequest&) const = default;
};

} // namespace tarnwick
