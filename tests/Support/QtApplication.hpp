#pragma once

#include <QGuiApplication>
#include <QTest>

#include <chrono>
#include <functional>

namespace tarnwick::testing {

/// The one application object of a test program, made on first use on the thread that runs the tests
/// unless the program made its own (the window tests make a widgets application). A GUI application, so that
/// text can be drawn; on the offscreen platform, so that no display is needed. It is never destroyed: at exit
/// Qt's own globals (icon and scene-graph caches) are already gone, and the application's clean-up routines
/// would touch them.
inline QGuiApplication& qtApplication() {
    if (auto* existing = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return *existing;
    }
    static int argc = 3;
    static char name[] = "tests";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    static auto* application = new QGuiApplication(argc, argv);
    return *application;
}

/// Runs the Qt event loop until the condition holds or the time is up; whether it holds.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    qtApplication();
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

} // namespace tarnwick::testing
