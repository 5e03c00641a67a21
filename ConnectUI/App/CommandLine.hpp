#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

/// The program's command line, read before Qt starts: `--help`, `--version` and mistakes are answered
/// without a display, where creating the GUI application would abort.
class CommandLine {
public:
    /// What the program does: its windows, or one of the commands without a window.
    enum class Command {
        /// The tray and its windows (or, with `--headless`, the interactive prompt).
        application,
        /// Headless until SIGINT or SIGTERM, not until the end of standard input.
        receive,
        /// Sends files to one device and exits with the outcome.
        send,
        /// Lists the devices DNS-SD sees and exits.
        devices,
    };
    /// What happens to a first pairing asked of `receive` or `--headless`.
    enum class PairingAnswer { ask, never };

    /// `send`'s exit statuses, which scripts test.
    static constexpr int sent = 0;
    static constexpr int usageError = 1;
    static constexpr int unreachable = 2;
    static constexpr int fileFailed = 3;

    struct Options {
        Command command = Command::application;
        bool headless = false;
        /// One JSON object per line and per event on standard output.
        bool json = false;
        /// None: ask when standard input is a terminal, else never.
        std::optional<PairingAnswer> acceptPairing;
        std::optional<std::filesystem::path> profile;
        std::optional<std::string> name;
        /// The port to listen on, when not the stored or default one.
        std::optional<std::uint16_t> port;
        /// The sign-in page's return address, as the browser passes it.
        std::optional<std::string> callback;
        /// `send`'s device: a service name seen by DNS-SD, or "HOST:PORT".
        std::optional<std::string> to;
        std::optional<std::string> address;
        /// How long `devices` browses.
        std::chrono::milliseconds wait = std::chrono::seconds(3);
        /// Files to send (paths or file: addresses), made absolute.
        std::vector<std::filesystem::path> files;
    };

    /// The options to run with, or the exit status once help, the version or a usage error was printed.
    using Outcome = std::variant<Options, int>;

    /// Reads `arguments` (without the program name); help and the version go to `out`, errors to `err`.
    static Outcome parse(std::span<char* const> arguments, std::ostream& out, std::ostream& err);
};

} // namespace tarnwick
