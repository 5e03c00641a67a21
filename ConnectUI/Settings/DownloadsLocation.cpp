#include "ConnectUI/Settings/DownloadsLocation.hpp"

#include <unistd.h>

namespace tarnwick {
namespace {

// A folder stands for itself here: its absolute path is what is kept, and it resolves while it is
// still a folder.
std::optional<std::filesystem::path> resolve(const QByteArray& stored) {
    std::filesystem::path folder(stored.toStdString());
    std::error_code error;
    if (folder.empty() || !folder.is_absolute() || !std::filesystem::is_directory(folder, error)) {
        return std::nullopt;
    }
    return folder;
}

bool canWriteInto(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace

DownloadsLocation::DownloadsLocation(QSettings& settings, std::filesystem::path fallback, QObject* parent)
    : QObject(parent),
      settings_(settings),
      fallback_(std::move(fallback)),
      url_(fallback_) {
    restore();
}

void DownloadsLocation::choose(const std::filesystem::path& folder) {
    const auto absolute = std::filesystem::absolute(folder).lexically_normal();
    std::error_code error;
    if (!std::filesystem::is_directory(absolute, error)) {
        setProblem("Couldn't get permission to save there. Pick another folder.");
        return;
    }
    settings_.setValue(settingsKey, QByteArray::fromStdString(absolute.string()));
    settings_.sync();
    adopt(absolute);
    // A folder that could not be opened keeps its message: files silently going elsewhere would surprise.
    if (accessed_) {
        setProblem(std::nullopt);
    }
}

void DownloadsLocation::reset() {
    settings_.remove(settingsKey);
    settings_.sync();
    accessed_.reset();
    setURL(fallback_);
    setProblem(std::nullopt);
}

void DownloadsLocation::restore() {
    const QVariant stored = settings_.value(settingsKey);
    if (!stored.isValid()) {
        return;
    }
    const auto folder = resolve(stored.toByteArray());
    if (!folder) {
        setProblem("Couldn't reach your chosen folder, so files are going to Downloads.");
        return;
    }
    adopt(*folder);
}

void DownloadsLocation::adopt(const std::filesystem::path& folder) {
    accessed_.reset();
    if (!canWriteInto(folder)) {
        setProblem("Couldn't open that folder, so files are going to Downloads.");
        setURL(fallback_);
        return;
    }
    accessed_ = folder;
    setURL(folder);
}

void DownloadsLocation::setURL(std::filesystem::path url) {
    if (url_ != url) {
        url_ = std::move(url);
        Q_EMIT urlChanged();
    }
}

void DownloadsLocation::setProblem(std::optional<std::string> problem) {
    if (problem_ != problem) {
        problem_ = std::move(problem);
        Q_EMIT problemChanged();
    }
}

} // namespace tarnwick
