// tarnwick-connect: the application. This build has no windows yet; `--headless` runs the same application
// state with a line-based front end on standard input and output.
//   tarnwick-connect --headless [--profile DIR] [--name NAME]
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
#include "ConnectUI/SignIn/SignInHandOff.hpp"

#include <QCoreApplication>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
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

} // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    LargeBufferAllocation::reuseChunkBuffers();
    QCoreApplication application(argc, argv);
    const auto options = parse(QCoreApplication::arguments());
    if (!options || (!options->headless && !options->callback)) {
        std::cerr << "usage: tarnwick-connect --headless [--profile DIR] [--name NAME]\n"
                     "       tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#...\n"
                     "(this build has no windows yet)\n";
        return 2;
    }
    const ApplicationHome home = ApplicationHome::choose(options->profile);
    const QString handOffName = SignInHandOff::serverName(home.settingsFile);
    if (options->callback) {
        if (SignInHandOff::handOver(handOffName, *options->callback)) {
            return 0;
        }
        std::cerr << "no running Tarnwick Connect of this profile is signing in\n";
        return 1;
    }
    EngineThreads engine;
    QtExecutionContext mainThread;
    const auto settings = home.openSettings();
    AppState state(AppState::Setup{
        QtExecutor(mainThread), engine.executor(), engine.blocking(), settings.get(), home, std::nullopt,
        true, NetworkAvailability::canBindListener,
        AppConfiguration::endpoints(AppConfiguration::environment()), [](const std::string& url) {
            // Whoever runs it headless opens the page, in a browser or a script.
            std::cout << "sign-in page " << url << std::endl;
            return true;
        }});
    if (options->name) {
        state.setDeviceName(*options->name);
    }
    HeadlessFrontEnd frontEnd(state, std::cout, STDIN_FILENO);
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

    state.start();
    const int status = application.exec();
    std::cout << "bye" << std::endl;
    // Sessions, transfers and watchers have no orderly shutdown: like the engine's own loops, they end
    // with the process, once everything printed has been written.
    std::_Exit(status);
}
