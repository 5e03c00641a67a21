// tarnwick-connect: the application, in the tray with its windows; `--headless` runs the same application
// state with a line-based front end on standard input and output instead.
//   tarnwick-connect [--headless] [--profile DIR] [--name NAME] [--port PORT] [FILE...]
//   tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#…
// The profile (else $TARNWICK_HOME, else the user's XDG folders) holds settings, identity and downloads.
// The second form is how the browser returns from the sign-in page: it hands the address to the running
// instance of that profile and exits. So does a second launch of the windows: the running instance shows
// its window and sends the FILEs.
#include "ConnectCore/Host/LargeBufferAllocation.hpp"
#include "ConnectCore/Reachability/NetworkAvailability.hpp"
#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/App/HeadlessFrontEnd.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/Settings/ApplicationHome.hpp"
#include "ConnectUI/Shell/ConnectApp.hpp"
#include "ConnectUI/Shell/LaunchRequest.hpp"
#include "ConnectUI/SignIn/SignInHandOff.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QQuickStyle>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <unistd.h>
#include <variant>

namespace {

constexpr const char* portSetting = "listenPort";

using Options = tarnwick::CommandLine::Options;

/// Everything both front ends share: the engine, the settings, the state and the sign-in hand-off.
int run(const Options& options, const tarnwick::ApplicationHome& home, const QString& handOffName) {
    using namespace tarnwick;
    std::cout << AppConfiguration::summary() << std::endl;
    // The main thread's context outlives the engine: work the engine drops when it goes may still name it.
    QtExecutionContext mainThread;
    EngineThreads engine;
    const auto settings = home.openSettings();
    AppState::Setup setup{QtExecutor(mainThread),
                          engine.executor(),
                          engine.blocking(),
                          settings.get(),
                          home,
                          std::nullopt,
                          true,
                          NetworkAvailability::canBindListener,
                          AppConfiguration::endpoints(AppConfiguration::environment())};
    // The command line wins over the setting, which wins over the port firewall rules name.
    setup.port = options.port.value_or(
        static_cast<std::uint16_t>(settings->value(portSetting, ConnectDevice::defaultPort).toUInt()));
    if (options.headless) {
        setup.openSignInPage = [](const std::string& url) {
            // Whoever runs it headless opens the page, in a browser or a script.
            std::cout << "sign-in page " << url << std::endl;
            return true;
        };
    }
    AppState state(std::move(setup));
    if (options.name) {
        state.setDeviceName(*options.name);
    }
    SignInHandOff handOff;
    std::unique_ptr<ConnectApp> shell;
    if (!handOff.listen(handOffName, [&state, &shell](const std::string& address) {
            if (shell && shell->answerLaunch(address)) {
                std::cout << "another launch: the window is brought forward" << std::endl;
                return;
            }
            if (!state.signInController().complete(address)) {
                std::cout << "ignored a sign-in return address: no sign-in is waiting for it" << std::endl;
            }
        })) {
        std::cerr << "another Tarnwick Connect runs with this profile\n";
        return 1;
    }

    asio::signal_set stopSignals(engine.executor(), SIGTERM, SIGINT);
    stopSignals.async_wait([&mainThread](const asio::error_code& error, int) {
        if (!error) {
            asio::post(QtExecutor(mainThread), [] { QCoreApplication::quit(); });
        }
    });

    std::unique_ptr<HeadlessFrontEnd> frontEnd;
    if (options.headless) {
        frontEnd = std::make_unique<HeadlessFrontEnd>(state, std::cout, STDIN_FILENO, !options.untilStopped);
        state.start();
    } else {
        shell = std::make_unique<ConnectApp>(state, *settings,
                                             QCoreApplication::applicationFilePath().toStdString());
        QObject::connect(shell.get(), &ConnectApp::firstFrame, [](std::chrono::milliseconds after) {
            std::cout << "first frame of the main window after " << after.count() << " ms" << std::endl;
        });
        shell->launch();
    }
    const int status = QCoreApplication::exec();
    // Every connection closes in order before the windows and the engine's threads go.
    QEventLoop stopping;
    state.stop([&stopping] { stopping.quit(); });
    stopping.exec();
    shell.reset();
    frontEnd.reset();
    engine.stop();
    std::cout << "bye" << std::endl;
    return status;
}

/// Asks the instance running with this profile, if there is one, to show its window and send `files`;
/// whether it took the request.
bool handOverLaunch(const QString& handOffName, const std::vector<std::filesystem::path>& files) {
    for (const auto& line : tarnwick::LaunchRequest{files}.encode(tarnwick::SignInHandOff::addressLimit)) {
        if (!tarnwick::SignInHandOff::handOver(handOffName, line)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    LargeBufferAllocation::reuseChunkBuffers();
    // Read before any Qt application exists: help, the version and mistakes need no display.
    const auto outcome =
        CommandLine::parse(std::span(argv + 1, static_cast<std::size_t>(argc - 1)), std::cout, std::cerr);
    if (const int* status = std::get_if<int>(&outcome)) {
        return *status;
    }
    const auto& options = std::get<Options>(outcome);
    // Only the windows need a GUI application: the headless program and the sign-in hand-off also run
    // without a display.
    std::unique_ptr<QCoreApplication> application;
    if (options.headless || options.callback) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        QQuickStyle::setStyle("Basic");
        auto gui = std::make_unique<QApplication>(argc, argv);
        gui->setQuitOnLastWindowClosed(false);
        gui->setApplicationDisplayName("Tarnwick Connect");
        // Wayland compositors match the window to its launcher and icon by this name.
        gui->setDesktopFileName("io.tarnwick.connect");
        ConnectApp::registerViewTypes();
        application = std::move(gui);
    }
    const ApplicationHome home = ApplicationHome::choose(options.profile);
    const QString handOffName = SignInHandOff::serverName(home);
    if (options.callback) {
        if (SignInHandOff::handOver(handOffName, *options.callback)) {
            return 0;
        }
        std::cerr << "no running Tarnwick Connect of this profile is signing in\n";
        return 1;
    }
    if (!options.headless && handOverLaunch(handOffName, options.files)) {
        return 0;
    }
    return run(options, home, handOffName);
}
