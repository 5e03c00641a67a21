#include "ConnectCore/Host/HostFacts.hpp"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tarnwick::HostFacts {
namespace {

// Values in machine-info and os-release follow shell quoting: '…' is literal; "…" and bare text
// take a backslash before $, ", \ and `.
std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        return std::string(value.substr(1, value.size() - 2));
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    std::string text;
    for (std::size_t index = 0; index < value.size(); ++index) {
        if (value[index] == '\\' && index + 1 < value.size()) {
            ++index;
        }
        text += value[index];
    }
    return text;
}

/// The value assigned to `key` in an environment-style file; none when the file or the key is missing.
std::optional<std::string> assignment(const std::filesystem::path& file, std::string_view key) {
    std::ifstream stream(file);
    std::string line;
    while (std::getline(stream, line)) {
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            return unquoted(std::string_view(line).substr(key.size() + 1));
        }
    }
    return std::nullopt;
}

std::string hostName() {
    std::vector<char> name(HOST_NAME_MAX + 1, '\0');
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return "localhost";
    }
    return name.data();
}

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir) {
        return entry->pw_dir;
    }
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory), "no home folder");
}

/// An XDG base folder: the variable when it holds an absolute path (relative values are invalid and
/// must be ignored), else the default below the home folder.
std::filesystem::path xdgBase(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    return value && std::filesystem::path(value).is_absolute() ? std::filesystem::path(value)
                                                               : homeFolder() / underHome;
}

} // namespace

std::string computerName(const std::filesystem::path& root) {
    const auto pretty = assignment(root / "etc/machine-info", "PRETTY_HOSTNAME");
    return pretty && !pretty->empty() ? *pretty : hostName();
}

std::string osVersion(const std::filesystem::path& root) {
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        if (std::ifstream(root / file)) {
            return assignment(root / file, "PRETTY_NAME").value_or("Linux");
        }
    }
    return "Linux";
}

std::filesystem::path applicationSupportFolder() {
    return xdgBase("XDG_DATA_HOME", ".local/share") / "Tarnwick Connect";
}

std::filesystem::path configFolder() {
    return xdgBase("XDG_CONFIG_HOME", ".config") / "Tarnwick";
}

std::filesystem::path autostartFolder() {
    return xdgBase("XDG_CONFIG_HOME", ".config") / "autostart";
}

} // namespace tarnwick::HostFacts
