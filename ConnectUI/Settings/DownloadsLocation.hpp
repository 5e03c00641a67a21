#pragma once

#include <QObject>
#include <QSettings>

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

/// Where received files are written: a folder the user chose (kept under "downloadsBookmark" as its
/// path) or the default folder. Every failure falls back to the default folder and says why in
/// `problem`. Main thread only.
class DownloadsLocation : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::filesystem::path url READ url NOTIFY urlChanged)
    Q_PROPERTY(std::optional<std::string> problem READ problem NOTIFY problemChanged)

public:
    static constexpr const char* settingsKey = "downloadsBookmark";

    /// Starts in `fallback` (which is not created here), then restores the stored choice.
    DownloadsLocation(QSettings& settings, std::filesystem::path fallback, QObject* parent = nullptr);

    const std::filesystem::path& url() const { return url_; }
    const std::optional<std::string>& problem() const { return problem_; }
    /// Whether a folder the user chose is in use.
    bool isCustom() const { return accessed_.has_value(); }
    /// Whether a choice is remembered, whether or not its folder can be used now.
    bool hasStoredChoice() const { return settings_.contains(settingsKey); }

    /// Uses the folder the user picked from now on and remembers it.
    void choose(const std::filesystem::path& folder);
    /// Returns to the default folder and forgets the choice.
    void reset();

Q_SIGNALS:
    void urlChanged();
    void problemChanged();

private:
    void restore();
    void adopt(const std::filesystem::path& folder);
    void setURL(std::filesystem::path url);
    void setProblem(std::optional<std::string> problem);

    QSettings& settings_;
    const std::filesystem::path fallback_;
    std::filesystem::path url_;
    std::optional<std::string> problem_;
    std::optional<std::filesystem::path> accessed_;
};

} // namespace tarnwick
