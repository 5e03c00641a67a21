#include "ConnectUI/Desktop/FolderRequest.hpp"

#include <QFileDialog>

namespace tarnwick {
namespace {

// The default downloads folder is made only when the first file arrives: open as near to it as exists.
std::filesystem::path nearestExisting(std::filesystem::path folder) {
    std::error_code error;
    while (!std::filesystem::is_directory(folder, error) && folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return folder;
}

} // namespace

void FolderRequest::ask(std::function<void(const std::filesystem::path&)> chosen) const {
    auto* dialog = new QFileDialog(nullptr, QString::fromStdString(message),
                                   QString::fromStdString(nearestExisting(start).string()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, QString::fromStdString(button));
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [chosen = std::move(chosen)](const QString& folder) { chosen(folder.toStdString()); });
    dialog->open();
}

} // namespace tarnwick
