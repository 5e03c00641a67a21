// tarnwick-connect: the application. This build has no windows yet; `--headless` runs the same application
// state with a line-based front end on standard input and output.
//   tarnwick-connect --headless [--profile DIR] [--name NAME]
// The profile (else $TARNWICK_HOME, else the user's XDG folders) holds settings, identity and downloads.
#include "ConnectCore/Reachability/NetworkAvailability.hpp"
#include "ConnectUI/App/HeadlessFrontEnd.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/Settings/ApplicationHome.hpp"

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
        } else {
            return std::nullopt;
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    QCoreApplication application(argc, argv);
    const auto options = parse(QCoreApplication::arguments());
    if (!options || !options->headless) {
        std::cerr << "usage: tarnwick-connect --headless [--profile DIR] [--name NAME]\n"
                     "(this build has no windows yet)\n";
        return 2;
    }
    EngineThreads engine;
    QtExecutionContext mainThread;
    const ApplicationHome home = ApplicationHome::choose(options->profile);
    const auto settings = home.openSettings();
    AppState state(AppState::Setup{QtExecutor(mainThread), engine.executor(), engine.blocking(),
                                   settings.get(), home, std::nullopt, true,
                                   NetworkAvailability::canBindListener});
    if (options->name) {
        state.setDeviceName(*options->name);
    }
    HeadlessFrontEnd frontEnd(state, std::cout, STDIN_FILENO);

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
