#pragma once

#include <filesystem>

namespace tarnwick {

/// Showing and opening files the desktop's way.
class FileManager {
public:
    /// Shows the file selected in the file manager (org.freedesktop.FileManager1); where no file
    /// manager answers, opens the folder that holds it. Returns at once.
    static void reveal(const std::filesystem::path& file);

    /// Opens the file with its default application.
    static void open(const std::filesystem::path& file);
};

} // namespace tarnwick
