#include "ConnectUI/Desktop/LoginItem.hpp"

#include "ConnectCore/Host/HostFacts.hpp"

#include <QSaveFile>

#include <fstream>
#include <sstream>
#include <system_error>

namespace tarnwick {
namespace {

/// Quotes an Exec argument the way desktop entries want it.
std::string quoted(const std::string& argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

} // namespace

LoginItemError::LoginItemError(std::filesystem::path entry, std::string reason)
    : std::runtime_error("cannot change " + entry.string() + ": " + reason),
      entry_(std::move(entry)),
      reason_(std::move(reason)) {}

std::filesystem::path LoginItem::entry() {
    return HostFacts::autostartFolder() / "io.tarnwick.connect.desktop";
}

bool LoginItem::isEnabled() {
    std::ifstream in(entry());
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line == "Hidden=true") {
            return false;
        }
    }
    return true;
}

void LoginItem::setEnabled(bool enabled, const std::filesystem::path& program) {
    const auto path = entry();
    std::error_code error;
    if (!enabled) {
        if (!std::filesystem::remove(path, error) && error) {
            throw LoginItemError(path, error.message());
        }
        return;
    }
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        throw LoginItemError(path, error.message());
    }
    std::ostringstream text;
    text << "[Desktop Entry]\nType=Application\nName=Tarnwick Connect\nExec=" << quoted(program.string())
         << "\nIcon=io.tarnwick.connect\nX-GNOME-Autostart-enabled=true\n";
    // Written whole or not at all, so a full disk never leaves a half entry the desktop would run.
    QSaveFile file(QString::fromStdString(path.string()));
    const std::string contents = text.str();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(contents.data(), static_cast<qint64>(contents.size())) !=
            static_cast<qint64>(contents.size()) ||
        !file.commit()) {
        throw LoginItemError(path, file.errorString().toStdString());
    }
}

} // namespace tarnwick
