#pragma once

#include "ConnectUI/Desktop/DesktopNotifications.hpp"
#include "ConnectUI/Gallery/ThumbnailCache.hpp"
#include "ConnectUI/ViewModels/ConnectModel.hpp"
#include "ConnectUI/ViewModels/SettingsModel.hpp"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSettings>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

class AppState;
class StatusItemController;

/// The desktop shell: the main window, the tray icon with its panel, and what happens at launch. Every
/// action ends in a call on the application state. Main thread only.
class ConnectApp : public QObject {
    Q_OBJECT

public:
    static constexpr const char* hasLaunchedKey = "io.tarnwick.connect.hasLaunched";
    static constexpr auto firstWindowDelay = std::chrono::milliseconds(200);

    ConnectApp(AppState& state, QSettings& settings, std::filesystem::path program,
               QObject* parent = nullptr);
    ~ConnectApp() override;

    /// Loads the views, installs the state's hooks, starts the state, and opens the window on the very
    /// first launch, or whenever the desktop has no tray to reach the panel from.
    void launch();

    /// Shows the main window on "connect" or "settings", bringing it forward.
    void openMainWindow(const std::string& tab);

    /// Answers a second launch of the program (a `LaunchRequest` line from the hand-off socket): brings
    /// the window forward and sends the files it was opened with. False when the line is no such request.
    bool answerLaunch(const std::string& line);

    QQuickWindow* mainWindow() const { return mainWindow_; }
    QQuickWindow* menuPanel() const { return menuPanel_; }

    /// Registers the C++ types the views create.
    static void registerViewTypes();

Q_SIGNALS:
    /// The main window drew its first frame, this long after the shell was made.
    void firstFrame(std::chrono::milliseconds afterStart);

private:
    QQuickWindow* load(const char* view);
    /// Whether a window with the focus shows every topic now, so that a notification would repeat it.
    bool showsInFocus() const;

    AppState& state_;
    QSettings& settings_;
    QElapsedTimer sinceStart_;
    ThumbnailCache thumbnails_;
    ConnectModel connectModel_;
    SettingsModel settingsModel_;
    QQmlApplicationEngine engine_;
    QPointer<QQuickWindow> mainWindow_;
    QPointer<QQuickWindow> menuPanel_;
    std::unique_ptr<StatusItemController> statusItem_;
    std::unique_ptr<DesktopNotifications> notifications_;
};

} // namespace tarnwick
