#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tarnwick {

/// What a folder chooser asks: each chooser says what the folder is for, names its button after what
/// happens, and opens where the user is likely to look.
struct FolderRequest {
    /// Shown as the dialog's title: neither Qt's dialog nor the desktop portal has a message area.
    std::string message;
    std::string button;
    std::filesystem::path start;

    /// Shows the desktop's folder chooser (through the portal where there is one) and returns at once;
    /// `chosen` is called with the folder when the user confirms one, never when they cancel. The dialog
    /// is not run in a nested event loop: a QML handler that waited for it could stall the window's
    /// rendering. Main thread.
    void ask(std::function<void(const std::filesystem::path&)> chosen) const;

    bool operator==(const FolderRequest&) const = default;
};

} // namespace tarnwick
