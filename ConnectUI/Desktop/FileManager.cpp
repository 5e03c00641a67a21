#include "ConnectUI/Desktop/FileManager.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QUrl>

namespace tarnwick {
namespace {

QUrl fileURL(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

} // namespace

void FileManager::reveal(const std::filesystem::path& file) {
    const QUrl folder = fileURL(file.parent_path());
    auto message =
        QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                       "org.freedesktop.FileManager1", "ShowItems");
    message << QStringList{fileURL(file).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) {
                             QDesktopServices::openUrl(folder);
                         }
                         finished->deleteLater();
                     });
}

void FileManager::open(const std::filesystem::path& file) {
    QDesktopServices::openUrl(fileURL(file));
}

} // namespace tarnwick
