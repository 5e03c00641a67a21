#include "ConnectUI/App/CommandLine.hpp"

#include "ConnectCore/Host/AppVersion.hpp"

#include <QFile>
#include <QUrl>

#include <charconv>
#include <ostream>
#include <string_view>

namespace tarnwick {
namespace {

constexpr std::string_view usage =
    "usage: tarnwick-connect [--profile DIR] [--name NAME] [--port PORT] [FILE...]\n"
    "       tarnwick-connect --headless [--profile DIR] [--name NAME] [--port PORT]\n"
    "       tarnwick-connect receive [--profile DIR] [--name NAME] [--port PORT]\n"
    "       tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#...\n"
    "       tarnwick-connect --help | --version\n";

constexpr std::string_view help =
    "Moves files between your devices on this network.\n"
    "\n"
    "  --headless      run without windows: print what changes, take commands on standard input\n"
    "  receive         run without windows until stopped (SIGINT or SIGTERM), receiving from paired\n"
    "                  devices; this is what the systemd user unit runs\n"
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

int mistake(std::ostream& err, std::string_view what, std::string_view argument) {
    err << "tarnwick-connect: " << what << " '" << argument << "'\n" << usage;
    return 2;
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

} // namespace

CommandLine::Outcome CommandLine::parse(std::span<char* const> arguments, std::ostream& out,
                                        std::ostream& err) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "receive" && i == 0) {
            options.headless = true;
            options.untilStopped = true;
        } else if (argument == "--help" || argument == "-h") {
            out << usage << '\n' << help;
            return 0;
        } else if (argument == "--version") {
            out << "tarnwick-connect " << appVersion << '\n';
            return 0;
        } else if (argument == "--headless") {
            options.headless = true;
        } else if ((argument == "--profile" || argument == "--name" || argument == "--port") && !hasValue) {
            return mistake(err, "missing the value of", argument);
        } else if (argument == "--profile") {
            options.profile = arguments[++i];
        } else if (argument == "--name") {
            options.name = arguments[++i];
        } else if (argument == "--port") {
            const std::string_view value = arguments[++i];
            unsigned port = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), port);
            if (error != std::errc() || end != value.data() + value.size() || port == 0 || port > 65535) {
                return mistake(err, "not a port", value);
            }
            options.port = static_cast<std::uint16_t>(port);
        } else if (argument.starts_with("-")) {
            return mistake(err, "unknown option", argument);
        } else if (argument.starts_with("tarnwickconnect:") && !options.callback) {
            options.callback = std::string(argument);
        } else if (const auto file = localFile(argument)) {
            options.files.push_back(*file);
        } else {
            return mistake(err, "not a file to send", argument);
        }
    }
    if (options.headless && !options.files.empty()) {
        return mistake(err, "files are sent by the window application, not with", "--headless");
    }
    return options;
}

} // namespace tarnwick
