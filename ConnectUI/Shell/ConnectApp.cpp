#include "ConnectUI/Shell/ConnectApp.hpp"

#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Backdrop/MorphFieldView.hpp"
#include "ConnectUI/Brand/BrandMarkProvider.hpp"
#include "ConnectUI/Gallery/LightboxZoom.hpp"
#include "ConnectUI/Gallery/ThumbnailProvider.hpp"
#include "ConnectUI/Shell/LaunchRequest.hpp"
#include "ConnectUI/Shell/StatusItemController.hpp"

#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>

namespace tarnwick {

ConnectApp::ConnectApp(AppState& state, QSettings& settings, std::filesystem::path program, QObject* parent)
    : QObject(parent),
      state_(state),
      settings_(settings),
      connectModel_(state),
      settingsModel_(state, settings, std::move(program)) {
    sinceStart_.start();
    engine_.rootContext()->setContextProperty("connectModel", &connectModel_);
    engine_.rootContext()->setContextProperty("settingsModel", &settingsModel_);
    engine_.rootContext()->setContextProperty("thumbnails", &thumbnails_);
    engine_.addImageProvider("thumbnail", new ThumbnailProvider(thumbnails_));
    engine_.addImageProvider("brand", new BrandMarkProvider);
}

ConnectApp::~ConnectApp() = default;

void ConnectApp::registerViewTypes() {
    qmlRegisterType<LightboxZoom>("Tarnwick.Connect", 1, 0, "LightboxZoom");
    MorphFieldView::registerType();
}

QQuickWindow* ConnectApp::load(const char* view) {
    engine_.load(QUrl(QString("qrc:/views/%1.qml").arg(view)));
    const auto roots = engine_.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.last());
}

void ConnectApp::launch() {
    mainWindow_ = load("MainWindow");
    menuPanel_ = load("MenuPanelWindow");
    if (!mainWindow_ || !menuPanel_) {
        qFatal("the views failed to load");
    }
    QObject::connect(mainWindow_, &QQuickWindow::frameSwapped, this, [this] {
        QObject::disconnect(mainWindow_, &QQuickWindow::frameSwapped, this, nullptr);
        Q_EMIT firstFrame(std::chrono::milliseconds(sinceStart_.elapsed()));
    });
    QObject::connect(&state_, &AppState::tabRequestChanged, this, [this] {
        mainWindow_->setProperty("tab", QString::fromStdString(state_.tabRequest().tab));
    });

    // The panel also carries pairing codes, so it is made even where no tray shows its icon.
    statusItem_ = std::make_unique<StatusItemController>(*menuPanel_);
    QObject::connect(statusItem_.get(), &StatusItemController::openWindowRequested, this,
                     [this](const QString& tab) { openMainWindow(tab.toStdString()); });
    for (const auto signal : {&AppState::availabilityChanged, &AppState::transfersChanged}) {
        QObject::connect(&state_, signal, statusItem_.get(),
                         [this] { statusItem_->showStatus(StatusItemController::statusOf(state_)); });
    }
    state_.onPairingRequested = [this] { statusItem_->presentIfNeeded(); };
    // The connect pane carries the prompt too: without a tray it is the only place to answer it, and an
    // open window is where the user is looking.
    QObject::connect(&state_, &AppState::pendingPairingChanged, this, [this] {
        if (state_.pendingPairing() &&
            (!StatusItemController::isAvailable() || (mainWindow_ && mainWindow_->isVisible()))) {
            openMainWindow("connect");
        }
    });
    state_.onOpenWindow = [this](std::optional<std::string> tab) {
        openMainWindow(tab == "settings" ? "settings" : "connect");
    };

    notifications_ = std::make_unique<DesktopNotifications>(
        state_, settings_, QDBusConnection::sessionBus(),
        [this](DesktopNotifications::Topic) { return showsInFocus(); });

    state_.start();

    const bool firstLaunch = !settings_.value(hasLaunchedKey, false).toBool();
    if (firstLaunch) {
        settings_.setValue(hasLaunchedKey, true);
        QTimer::singleShot(firstWindowDelay, this, [this] { openMainWindow("connect"); });
    } else if (!StatusItemController::isAvailable()) {
        // Without a tray the window is the only way in.
        openMainWindow("connect");
    }
}

bool ConnectApp::showsInFocus() const {
    // The panel and the window's connect tab both show the prompt, the transfers and what was received.
    if (menuPanel_ && menuPanel_->isVisible() && menuPanel_->isActive()) {
        return true;
    }
    return mainWindow_ && mainWindow_->isVisible() && mainWindow_->isActive() &&
           mainWindow_->property("tab").toString() == "connect";
}

void ConnectApp::openMainWindow(const std::string& tab) {
    state_.requestTab(tab);
    if (!mainWindow_) {
        return;
    }
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->requestActivate();
}

bool ConnectApp::answerLaunch(const std::string& line) {
    const auto request = LaunchRequest::decode(line);
    if (!request) {
        return false;
    }
    openMainWindow("connect");
    if (!request->files.empty()) {
        state_.send(request->files);
    }
    return true;
}

} // namespace tarnwick
