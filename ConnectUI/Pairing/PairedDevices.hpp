#pragma once

#include "ConnectUI/Pairing/PairedDevice.hpp"

#include <QObject>
#include <QSettings>

#include <string>
#include <vector>

namespace tarnwick {

/// The peers this device trusts without a code, in the order they were first paired, kept in the
/// settings under "pairedDevices" as one JSON array. Main thread only.
class PairedDevices : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tarnwick::PairedDevice> devices READ devices NOTIFY devicesChanged)

public:
    static constexpr const char* settingsKey = "pairedDevices";

    /// Loads the stored list; stored data that does not decode gives an empty list.
    explicit PairedDevices(QSettings& settings, QObject* parent = nullptr);

    const std::vector<PairedDevice>& devices() const { return devices_; }
    bool isPaired(const std::string& fingerprint) const;
    /// Renames and refreshes a known peer, or adds a new one; then stores the list.
    void remember(const std::string& fingerprint, const std::string& deviceID, const std::string& name);
    /// Removes every entry with the device's fingerprint; then stores the list.
    void forget(const PairedDevice& device);
    void forgetAll();

Q_SIGNALS:
    void devicesChanged();

private:
    void load();
    void persist();

    QSettings& settings_;
    std::vector<PairedDevice> devices_;
};

} // namespace tarnwick
