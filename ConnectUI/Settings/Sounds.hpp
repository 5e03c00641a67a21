#pragma once

#include <QObject>
#include <QSettings>
#include <QString>

#include <map>

class QSoundEffect;

namespace tarnwick {

/// A short sound when a file arrives or a send completes, and whether sounds are on (kept under
/// "soundsEnabled"). Main thread only; a sound that cannot be found or played stays silent.
class Sounds : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)

public:
    static constexpr const char* settingsKey = "soundsEnabled";

    explicit Sounds(QSettings& settings, QObject* parent = nullptr);

    bool isEnabled() const { return enabled_; }
    /// Remembers the choice; turning sounds on plays the received sound once as a preview.
    void setEnabled(bool enabled);

    void playReceived();
    void playSent();

Q_SIGNALS:
    void isEnabledChanged();

private:
    void play(const QString& name);
    QSoundEffect* effect(const QString& name);

    QSettings& settings_;
    bool enabled_;
    // Loaded on first use; a missing resource is remembered as null and not looked up again.
    std::map<QString, QSoundEffect*> effects_;
};

} // namespace tarnwick
