#include "ConnectUI/Pairing/PairedDevices.hpp"

#include "ConnectUI/Settings/StoredList.hpp"

#include <QJsonObject>

#include <algorithm>
#include <optional>

namespace tarnwick {
namespace {

// Dates are stored as seconds since 2001-01-01 00:00:00 UTC, the stored form's epoch.
constexpr std::chrono::seconds referenceEpoch{978307200};

double storedDate(std::chrono::system_clock::time_point date) {
    const std::chrono::duration<double> sinceUnix = date.time_since_epoch();
    return (sinceUnix - referenceEpoch).count();
}

std::chrono::system_clock::time_point dateFromStored(double seconds) {
    const std::chrono::duration<double> sinceUnix = std::chrono::duration<double>(seconds) + referenceEpoch;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceUnix));
}

std::optional<PairedDevice> decode(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const QJsonValue fingerprint = object.value("fingerprint");
    const QJsonValue name = object.value("name");
    const QJsonValue lastSeen = object.value("lastSeen");
    if (!fingerprint.isString() || !name.isString() || !lastSeen.isDouble()) {
        return std::nullopt;
    }
    // "deviceID" is optional: lists stored before it was kept still load.
    return PairedDevice{fingerprint.toString().toStdString(),
                        object.value("deviceID").toString().toStdString(), name.toString().toStdString(),
                        dateFromStored(lastSeen.toDouble())};
}

} // namespace

PairedDevices::PairedDevices(QSettings& settings, QObject* parent) : QObject(parent), settings_(settings) {
    load();
}

bool PairedDevices::isPaired(const std::string& fingerprint) const {
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](const PairedDevice& device) { return device.fingerprint == fingerprint; });
}

void PairedDevices::remember(const std::string& fingerprint, const std::string& deviceID,
                             const std::string& name) {
    const auto now = std::chrono::system_clock::now();
    const auto known = std::find_if(devices_.begin(), devices_.end(), [&](const PairedDevice& device) {
        return device.fingerprint == fingerprint;
    });
    if (known != devices_.end()) {
        known->deviceID = deviceID;
        known->name = name;
        known->lastSeen = now;
    } else {
        devices_.push_back({fingerprint, deviceID, name, now});
    }
    persist();
    Q_EMIT devicesChanged();
}

void PairedDevices::forget(const PairedDevice& device) {
    const auto removed = std::erase_if(
        devices_, [&](const PairedDevice& entry) { return entry.fingerprint == device.fingerprint; });
    persist();
    if (removed > 0) {
        Q_EMIT devicesChanged();
    }
}

void PairedDevices::forgetAll() {
    const bool hadAny = !devices_.empty();
    devices_.clear();
    persist();
    if (hadAny) {
        Q_EMIT devicesChanged();
    }
}

void PairedDevices::load() {
    // A bad entry makes the whole stored list unusable: every peer pairs again.
    devices_ = StoredList::load<PairedDevice>(settings_, settingsKey, decode);
}

void PairedDevices::persist() {
    StoredList::store(settings_, settingsKey, devices_, [](const PairedDevice& device) {
        return QJsonObject{{"fingerprint", QString::fromStdString(device.fingerprint)},
                           {"deviceID", QString::fromStdString(device.deviceID)},
                           {"name", QString::fromStdString(device.name)},
                           {"lastSeen", storedDate(device.lastSeen)}};
    });
}

} // namespace tarnwick
