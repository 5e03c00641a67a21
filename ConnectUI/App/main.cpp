// tarnwick-connect: the application, in the tray with its windows; `--headless` runs the same application
// state with a line-based front end on standard input and output instead, and `receive`, `send` and
// `devices` are the commands scripts and services run without a window.
//   tarnwick-connect [--headless] [--profile DIR] [--name NAME] [--port PORT] [FILE...]
//   tarnwick-connect receive | send | devices [options...]
//   tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#…
// The profile (else $TARNWICK_HOME, else the user's XDG folders) holds settings, identity and downloads.
// The last form is how the browser returns from the sign-in page: it hands the address to the running
// instance of that profile and exits. So does a second launch of the windows: the running instance shows
// its window and sends the FILEs.
#include "ConnectCore/Host/DescriptorLimit.hpp"
#include "ConnectCore/Host/LargeBufferAllocation.hpp"
#include "ConnectCore/Reachability/NetworkAvailability.hpp"
#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/App/DevicesCommand.hpp"
#include "ConnectUI/App/HeadlessFrontEnd.hpp"
#include "ConnectUI/App/SendCommand.hpp"
#include "ConnectUI/App/SendHandOver.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/Settings/ApplicationHome.hpp"
#include "ConnectUI/Shell/ConnectApp.hpp"
#include "ConnectUI/Shell/LaunchRequest.hpp"
#include "ConnectUI/SignIn/SignInHandOff.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QQuickStyle>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <unistd.h>
#include <variant>

namespace {

constexpr const char* portSetting = "listenPort";

using Options = tarnwick::CommandLine::Options;
using Command = tarnwick::CommandLine::Command;

/// Diagnostics are written to std::cout all over the engine; without a window they go to standard error,
/// so that standard output carries only the front end's events (one JSON object per line with --json).
class EventsOnStandardOutput {
public:
    EventsOnStandardOutput() : events_(std::cout.rdbuf()), diagnostics_(std::cout.rdbuf(std::cerr.rdbuf())) {}
    ~EventsOnStandardOutput() { std::cout.rdbuf(diagnostics_); }
    EventsOnStandardOutput(const EventsOnStandardOutput&) = delete;
    EventsOnStandardOutput& operator=(const EventsOnStandardOutput&) = delete;

    std::ostream& events() { return events_; }

private:
    std::ostream events_;
    std::streambuf* const diagnostics_;
};

/// The front end without a window that the command asks for.
std::unique_ptr<QObject> headlessFrontEnd(const Options& options, tarnwick::AppState& state,
                                          tarnwick::EventReporter& reporter, std::ostream& events) {
    using namespace tarnwick;
    switch (options.command) {
    case Command::send: {
        // The question goes beside the events on a terminal, and out of the way of JSON.
        auto command = std::make_unique<SendCommand>(
            state, options, reporter, SendCommand::Question{options.json ? std::cerr : events, STDIN_FILENO});
        QObject::connect(&state, &AppState::accountLoaded, command.get(), &SendCommand::begin);
        QObject::connect(command.get(), &SendCommand::finished,
                         [](int status) { QCoreApplication::exit(status); });
        return command;
    }
    case Command::devices:
        return std::make_unique<DevicesCommand>(state, options.wait, reporter);
    case Command::receive:
    case Command::application:
        break;
    }
    const bool receiving = options.command == Command::receive;
    // A receiver nobody watches (a service, a pipe) cannot compare a code: it refuses new devices.
    const auto pairing = options.acceptPairing.value_or(receiving && !::isatty(STDIN_FILENO)
                                                            ? CommandLine::PairingAnswer::never
                                                            : CommandLine::PairingAnswer::ask);
    return std::make_unique<HeadlessFrontEnd>(state, reporter, STDIN_FILENO,
                                              HeadlessFrontEnd::Behaviour{!receiving, pairing});
}

/// Everything both front ends share: the engine, the settings, the state and the sign-in hand-off.
int run(const Options& options, const tarnwick::ApplicationHome& home, const QString& handOffName) {
    using namespace tarnwick;
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
    // Without a window, the events are the program's standard output.
    std::optional<EventsOnStandardOutput> output;
    std::optional<EventReporter> reporter;
    if (options.headless) {
        output.emplace();
        reporter.emplace(output->events(),
                         options.json ? EventReporter::Format::json : EventReporter::Format::text,
                         ::isatty(STDOUT_FILENO) != 0);
    }
    std::cout << AppConfiguration::summary() << std::endl;
    // The command line wins over the setting, which wins over the port firewall rules name.
    setup.port = options.port.value_or(
        static_cast<std::uint16_t>(settings->value(portSetting, ConnectDevice::defaultPort).toUInt()));
    const bool oneShot = options.command == Command::send || options.command == Command::devices;
    if (oneShot && !options.port) {
        // A command that ends soon leaves the usual port to the receiver that may run beside it.
        setup.port = std::nullopt;
    }
    // Sending to an address needs no discovery, and then nothing announces this short-lived device.
    setup.discovery = !(options.command == Command::send && options.address);
    setup.announce = !oneShot;
    if (options.headless) {
        setup.openSignInPage = [&reporter](const std::string& url) {
            // Whoever runs it headless opens the page, in a browser or a script.
            reporter->event("sign-in-page", {{"url", url}}, "sign-in page " + url);
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
        return options.command == Command::send ? CommandLine::unreachable : 1;
    }

    // `send` run with this profile hands its job to this instance; the commands that end soon take none.
    std::optional<SendHandOver> sends;
    if (!oneShot) {
        sends.emplace(state);
        if (!sends->listen(SendHandOver::serverName(handOffName))) {
            std::cout << "sends from the command line cannot be handed to this instance" << std::endl;
        }
    }

    // A send stopped half-way did not deliver every file.
    const int stoppedStatus = options.command == Command::send ? CommandLine::fileFailed : 0;
    asio::signal_set stopSignals(engine.executor(), SIGTERM, SIGINT);
    stopSignals.async_wait([&mainThread, stoppedStatus](const asio::error_code& error, int) {
        if (!error) {
            asio::post(QtExecutor(mainThread), [stoppedStatus] { QCoreApplication::exit(stoppedStatus); });
        }
    });

    std::unique_ptr<QObject> frontEnd;
    if (options.headless) {
        frontEnd = headlessFrontEnd(options, state, *reporter, output->events());
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
    DescriptorLimit::raiseToHardLimit();
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
    if (options.command == Command::send) {
        // The instance running with this profile sends for the command, so that two never share a profile.
        if (const auto status =
                SendHandOver::handOver(SendHandOver::serverName(handOffName), options, std::cout)) {
            return *status;
        }
    }
    return run(options, home, handOffName);
}
