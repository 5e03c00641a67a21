#pragma once

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
    struct Options {
        bool headless = false;
        /// Headless until SIGINT or SIGTERM, not until the end of standard input (`receive`).
        bool untilStopped = false;
        std::optional<std::filesystem::path> profile;
        std::optional<std::string> name;
        /// The port to listen on, when not the stored or default one.
        std::optional<std::uint16_t> port;
        /// The sign-in page's return address, as the browser passes it.
        std::optional<std::string> callback;
        /// Files to send to the selected device (paths or file: addresses), made absolute.
        std::vector<std::filesystem::path> files;
    };

    /// The options to run with, or the exit status once help, the version or a usage error was printed.
    using Outcome = std::variant<Options, int>;

    /// Reads `arguments` (without the program name); help and the version go to `out`, errors to `err`.
    static Outcome parse(std::span<char* const> arguments, std::ostream& out, std::ostream& err);
};

} // namespace tarnwick
