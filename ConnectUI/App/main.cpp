// tarnwick-connect: the application, in the tray with its windows; `--headless` runs the same application
// state with a line-based front end on standard input and output instead.
//   tarnwick-connect [--headless] [--profile DIR] [--name NAME]
//   tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#…
// The profile (else $TARNWICK_HOME, else the user's XDG folders) holds settings, identity and downloads.
// The second form is how the browser returns from the sign-in page: it hands the address to the running
// instance of that profile and exits.
#include "ConnectCore/Host/LargeBufferAllocation.hpp"
#include "ConnectCore/Reachability/NetworkAvailability.hpp"
#include "ConnectUI/App/HeadlessFrontEnd.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/Settings/ApplicationHome.hpp"
#include "ConnectUI/Shell/ConnectApp.hpp"
#include "ConnectUI/SignIn/SignInHandOff.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QQuickStyle>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

struct Options {
    bool headless = false;
    std::optional<std::filesystem::path> profile;
    std::optional<std::string> name;
    /// The sign-in page's return address, as the browser passes it.
    std::optional<std::string> callback;
};

std::optional<Options> parse(const QStringList& arguments) {
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--headless") {
            options.headless = true;
        } else if (argument == "--profile" && hasValue) {
            options.profile = arguments[++i].toStdString();
        } else if (argument == "--name" && hasValue) {
            options.name = arguments[++i].toStdString();
        } else if (argument.startsWith("tarnwickconnect:") && !options.callback) {
            options.callback = argument.toStdString();
        } else {
            return std::nullopt;
        }
    }
    return options;
}

/// Everything both front ends share: the engine, the settings, the state and the sign-in hand-off.
int run(const Options& options, const tarnwick::ApplicationHome& home, const QString& handOffName) {
    using namespace tarnwick;
    std::cout << AppConfiguration::summary() << std::endl;
    EngineThreads engine;
    QtExecutionContext mainThread;
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
    if (!handOff.listen(handOffName, [&state](const std::string& address) {
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
    std::unique_ptr<ConnectApp> shell;
    if (options.headless) {
        frontEnd = std::make_unique<HeadlessFrontEnd>(state, std::cout, STDIN_FILENO);
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
    std::cout << "bye" << std::endl;
    // Sessions, transfers and watchers have no orderly shutdown: like the engine's own loops, they end
    // with the process, once everything printed has been written.
    std::_Exit(status);
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    LargeBufferAllocation::reuseChunkBuffers();
    // Only the windows need a GUI application: the headless program and the sign-in hand-off also run
    // without a display.
    const bool headless = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        const std::string_view text(argument);
        return text == "--headless" || text.starts_with("tarnwickconnect:");
    });
    std::unique_ptr<QCoreApplication> application;
    if (headless) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        QQuickStyle::setStyle("Basic");
        auto gui = std::make_unique<QApplication>(argc, argv);
        gui->setQuitOnLastWindowClosed(false);
        gui->setApplicationDisplayName("Tarnwick Connect");
        gui->setDesktopFileName("tarnwick-connect");
        ConnectApp::registerViewTypes();
        application = std::move(gui);
    }
    const auto options = parse(QCoreApplication::arguments());
    if (!options) {
        std::cerr << "usage: tarnwick-connect [--headless] [--profile DIR] [--name NAME]\n"
                     "       tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#...\n";
        return 2;
    }
    const ApplicationHome home = ApplicationHome::choose(options->profile);
    const QString handOffName = SignInHandOff::serverName(home);
    if (options->callback) {
        if (SignInHandOff::handOver(handOffName, *options->callback)) {
            return 0;
        }
        std::cerr << "no running Tarnwick Connect of this profile is signing in\n";
        return 1;
    }
    return run(*options, home, handOffName);
}
