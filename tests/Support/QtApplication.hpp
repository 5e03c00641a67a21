#pragma once

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <functional>

namespace tarnwick::testing {

/// The one QCoreApplication of a test program, made on first use on the thread that runs the tests.
inline QCoreApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

/// Runs the Qt event loop until the condition holds or the time is up; whether it holds.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    qtApplication();
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

} // namespace tarnwick::testing
