#include "ConnectUI/App/CommandLine.hpp"

#include "ConnectCore/Discovery/DeviceAddress.hpp"
#include "ConnectCore/Host/AppVersion.hpp"

#include <QFile>
#include <QUrl>

#include <charconv>
#include <ostream>
#include <string_view>

namespace tarnwick {
namespace {

using Command = CommandLine::Command;

constexpr std::string_view usage =
    "usage: tarnwick-connect [--profile DIR] [--name NAME] [--port PORT] [FILE...]\n"
    "       tarnwick-connect --headless [--json] [--accept-pairing ask|never] [--profile DIR] [--name NAME]\n"
    "                        [--port PORT]\n"
    "       tarnwick-connect receive [--json] [--accept-pairing ask|never] [--profile DIR] [--name NAME]\n"
    "                        [--port PORT]\n"
    "       tarnwick-connect send (--to NAME | --address HOST:PORT) [--json] [--profile DIR] FILE...\n"
    "       tarnwick-connect devices [--json] [--wait SECONDS] [--profile DIR]\n"
    "       tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#...\n"
    "       tarnwick-connect --help | --version\n";

constexpr std::string_view help =
    "Moves files between your devices on this network.\n"
    "\n"
    "  --headless      run without windows: print what changes, take commands on standard input\n"
    "  receive         run without windows until stopped (SIGINT or SIGTERM), receiving from paired\n"
    "                  devices; this is what the systemd user unit runs\n"
    "  send FILE...    send the files to one device, found by its name (--to) or dialled at its address\n"
    "                  (--address), and exit: 0 all arrived, 1 usage error, 2 the device could not be\n"
    "                  reached, paired or signed in, 3 a file failed\n"
    "  devices         list the devices seen on this network after browsing (--wait, 3 s) and exit\n"
    "  --json          print one JSON object per line and per event; diagnostics go to standard error\n"
    "  --accept-pairing ask|never\n"
    "                  ask on the terminal whether to pair with a new device, or refuse (the default\n"
    "                  when standard input is not a terminal)\n"
    "  --profile DIR   keep settings, identity and downloads in DIR (else $TARNWICK_HOME, else the\n"
    "                  user's folders)\n"
    "  --name NAME     the name other devices see for this computer\n"
    "  --port PORT     listen on PORT (default 47810, or the next free one; the firewall rules name 47810)\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "While the application runs with the profile, launching it again brings its window forward and\n"
    "sends the FILEs (paths or file: addresses) to the selected device. A tarnwickconnect: address is\n"
    "the sign-in page's answer; it is handed to the running instance of the profile. See\n"
    "tarnwick-connect(1).\n";

int mistake(std::ostream& err, std::string_view what, std::string_view argument, int status) {
    err << "tarnwick-connect: " << what << " '" << argument << "'\n" << usage;
    return status;
}

/// The regular file an argument names, as a path or a file: address (how launchers pass files), made
/// absolute: the instance that sends it runs in another folder.
std::optional<std::filesystem::path> localFile(std::string_view argument) {
    const QUrl address(QString::fromUtf8(argument.data(), static_cast<qsizetype>(argument.size())));
    const std::filesystem::path file =
        argument.starts_with("file:")
            ? std::filesystem::path(QFile::encodeName(address.toLocalFile()).toStdString())
            : std::filesystem::path(argument);
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return std::filesystem::absolute(file, error).lexically_normal();
}

std::optional<unsigned> number(std::string_view value, unsigned largest) {
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (error != std::errc() || end != value.data() + value.size() || parsed > largest) {
        return std::nullopt;
    }
    return parsed;
}

bool takesValue(std::string_view option) {
    return option == "--profile" || option == "--name" || option == "--port" || option == "--to" ||
           option == "--address" || option == "--accept-pairing" || option == "--wait";
}

/// Whether the option means anything to the command; the others are mistakes, not silently ignored.
bool fits(std::string_view option, const CommandLine::Options& options) {
    const Command command = options.command;
    if (option == "--json") {
        return command != Command::application || options.headless;
    }
    if (option == "--accept-pairing") {
        return command == Command::receive || (command == Command::application && options.headless);
    }
    if (option == "--to" || option == "--address") {
        return command == Command::send;
    }
    if (option == "--wait") {
        return command == Command::devices;
    }
    return true;
}

std::optional<Command> commandNamed(std::string_view word) {
    if (word == "receive") {
        return Command::receive;
    }
    if (word == "send") {
        return Command::send;
    }
    if (word == "devices") {
        return Command::devices;
    }
    return std::nullopt;
}

/// What the command needs besides its options: `send` one device and some files.
std::optional<std::string_view> incomplete(const CommandLine::Options& options) {
    if (options.command == Command::send) {
        if (options.to.has_value() == options.address.has_value()) {
            return "send needs one of --to NAME and --address HOST:PORT, not";
        }
        if (options.files.empty()) {
            return "send needs at least one FILE after";
        }
    } else if (options.headless && !options.files.empty()) {
        return "files are sent by the window application or send, not with";
    }
    return std::nullopt;
}

} // namespace

CommandLine::Outcome CommandLine::parse(std::span<char* const> arguments, std::ostream& out,
                                        std::ostream& err) {
    Options options;
    std::size_t i = 0;
    if (const auto command = arguments.empty() ? std::nullopt : commandNamed(arguments[0])) {
        options.command = *command;
        options.headless = true;
        i = 1;
    }
    // A script that calls send tells its own mistakes apart from a device that could not be reached.
    const int status = options.command == Command::send ? usageError : 2;
    for (; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            out << usage << '\n' << help;
            return 0;
        }
        if (argument == "--version") {
            out << "tarnwick-connect " << appVersion << '\n';
            return 0;
        }
        if (argument.starts_with("-") && !fits(argument, options)) {
            return mistake(err, "an option the command does not take", argument, status);
        }
        if (takesValue(argument) && i + 1 == arguments.size()) {
            return mistake(err, "missing the value of", argument, status);
        }
        const std::string_view value = takesValue(argument) ? arguments[++i] : std::string_view();
        if (argument == "--headless" && options.command == Command::application) {
            options.headless = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--profile") {
            options.profile = value;
        } else if (argument == "--name") {
            options.name = value;
        } else if (argument == "--to") {
            options.to = value;
        } else if (argument == "--port") {
            const auto port = number(value, 65535);
            if (!port || *port == 0) {
                return mistake(err, "not a port", value, status);
            }
            options.port = static_cast<std::uint16_t>(*port);
        } else if (argument == "--address") {
            if (!DeviceAddress::parse(value)) {
                return mistake(err, "not an address of the form HOST:PORT", value, status);
            }
            options.address = value;
        } else if (argument == "--accept-pairing") {
            if (value != "ask" && value != "never") {
                return mistake(err, "--accept-pairing takes ask or never, not", value, status);
            }
            options.acceptPairing = value == "ask" ? PairingAnswer::ask : PairingAnswer::never;
        } else if (argument == "--wait") {
            const auto seconds = number(value, 3600);
            if (!seconds) {
                return mistake(err, "not a number of seconds", value, status);
            }
            options.wait = std::chrono::seconds(*seconds);
        } else if (argument.starts_with("-")) {
            return mistake(err, "unknown option", argument, status);
        } else if (argument.starts_with("tarnwickconnect:") && !options.callback &&
                   options.command == Command::application) {
            options.callback = std::string(argument);
        } else if (const auto file = localFile(argument)) {
            options.files.push_back(*file);
        } else {
            return mistake(err, "not a file to send", argument, status);
        }
    }
    if (const auto missing = incomplete(options)) {
        return mistake(err, *missing, options.command == Command::send ? "send" : "--headless", status);
    }
    return options;
}

} // namespace tarnwick
