#pragma once

#include <QObject>
#include <QSettings>
#include <QString>

#include <functional>
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

    /// Calls `done` once no sound is still loading, or after `loadingLimit`. Qt's sample cache deadlocks
    /// when the program exits while its loader thread decodes a sound (a send that ends right after its
    /// sound started), so the program waits for this before it ends.
    void whenLoaded(std::function<void()> done);

    static constexpr int loadingLimit = 2000; // ms

Q_SIGNALS:
    void isEnabledChanged();

private:
    void play(const QString& name);
    QSoundEffect* effect(const QString& name);
    bool isLoading() const;

    QSettings& settings_;
    bool enabled_;
    // Loaded on first use; a missing resource is remembered as null and not looked up again.
    std::map<QString, QSoundEffect*> effects_;
};

} // namespace tarnwick
