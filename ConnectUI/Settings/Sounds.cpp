#include "ConnectUI/Settings/Sounds.hpp"

#include <QFile>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

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

void Sounds::whenLoaded(std::function<void()> done) {
    if (!isLoading()) {
        done();
        return;
    }
    // Called once, by whichever comes first: the last load's end or the limit.
    auto once = std::make_shared<std::function<void()>>(std::move(done));
    auto finish = [once] {
        if (*once) {
            std::exchange(*once, nullptr)();
        }
    };
    QTimer::singleShot(loadingLimit, this, finish);
    for (const auto& [name, sound] : effects_) {
        if (sound) {
            QObject::connect(sound, &QSoundEffect::statusChanged, this, [this, finish] {
                if (!isLoading()) {
                    finish();
                }
            });
        }
    }
}

bool Sounds::isLoading() const {
    return std::ranges::any_of(effects_, [](const auto& entry) {
        return entry.second && entry.second->status() == QSoundEffect::Loading;
    });
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
