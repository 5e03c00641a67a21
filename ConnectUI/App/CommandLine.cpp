#include "ConnectUI/App/CommandLine.hpp"

#include "ConnectCore/Host/AppVersion.hpp"

#include <ostream>
#include <string_view>

namespace tarnwick {
namespace {

constexpr std::string_view usage =
    "usage: tarnwick-connect [--headless] [--profile DIR] [--name NAME]\n"
    "       tarnwick-connect [--profile DIR] tarnwickconnect://auth/callback#...\n"
    "       tarnwick-connect --help | --version\n";

constexpr std::string_view help =
    "Moves files between your devices on this network.\n"
    "\n"
    "  --headless      run without windows: print what changes, take commands on standard input\n"
    "  --profile DIR   keep settings, identity and downloads in DIR (else $TARNWICK_HOME, else the\n"
    "                  user's folders)\n"
    "  --name NAME     the name other devices see for this computer\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "A tarnwickconnect: address is the sign-in page's answer; it is handed to the running instance of\n"
    "the profile. See tarnwick-connect(1).\n";

int mistake(std::ostream& err, std::string_view what, std::string_view argument) {
    err << "tarnwick-connect: " << what << " '" << argument << "'\n" << usage;
    return 2;
}

} // namespace

CommandLine::Outcome CommandLine::parse(std::span<char* const> arguments, std::ostream& out,
                                        std::ostream& err) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--help" || argument == "-h") {
            out << usage << '\n' << help;
            return 0;
        } else if (argument == "--version") {
            out << "tarnwick-connect " << appVersion << '\n';
            return 0;
        } else if (argument == "--headless") {
            options.headless = true;
        } else if ((argument == "--profile" || argument == "--name") && !hasValue) {
            return mistake(err, "missing the value of", argument);
        } else if (argument == "--profile") {
            options.profile = arguments[++i];
        } else if (argument == "--name") {
            options.name = arguments[++i];
        } else if (argument.starts_with("-")) {
            return mistake(err, "unknown option", argument);
        } else if (argument.starts_with("tarnwickconnect:") && !options.callback) {
            options.callback = std::string(argument);
        } else {
            return mistake(err, "unexpected argument", argument);
        }
    }
    return options;
}

} // namespace tarnwick
