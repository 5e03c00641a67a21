#include "ConnectUI/Settings/Sounds.hpp"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>

namespace tarnwick {
namespace {

// Absent, or anything but a stored Boolean, counts as on.
bool storedFlag(const QSettings& settings) {
    return settings.value(Sounds::settingsKey).toString() != QStringLiteral("false");
}

} // namespace

Sounds::Sounds(QSettings& settings, QObject* parent)
    : QObject(parent),
      settings_(settings),
      enabled_(storedFlag(settings)) {}

void Sounds::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    settings_.setValue(settingsKey, enabled);
    Q_EMIT isEnabledChanged();
    if (enabled) {
        playReceived();
    }
}

void Sounds::playReceived() {
    play(QStringLiteral("received"));
}

void Sounds::playSent() {
    play(QStringLiteral("sent"));
}

// A sound still playing starts again from the beginning.
void Sounds::play(const QString& name) {
    if (!enabled_) {
        return;
    }
    if (QSoundEffect* sound = effect(name)) {
        sound->stop();
        sound->play();
    }
}

QSoundEffect* Sounds::effect(const QString& name) {
    if (const auto found = effects_.find(name); found != effects_.end()) {
        return found->second;
    }
    const QString resource = QStringLiteral(":/sounds/") + name + QStringLiteral(".wav");
    QSoundEffect* sound = nullptr;
    if (QFile::exists(resource)) {
        sound = new QSoundEffect(this);
        sound->setSource(QUrl(QStringLiteral("qrc") + resource));
    }
    effects_.emplace(name, sound);
    return sound;
}

} // namespace tarnwick
