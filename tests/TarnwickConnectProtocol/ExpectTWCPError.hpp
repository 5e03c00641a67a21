#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {

/// Runs `action` and expects it to throw exactly `expected` (case and associated value).
template <class Action> void expectTWCPError(Action&& action, const TWCPError& expected) {
    try {
        action();
        ADD_FAILURE() << "expected " << expected.what();
    } catch (const TWCPError& error) {
        EXPECT_EQ(error, expected) << error.what();
    }
}

} // namespace tarnwick
