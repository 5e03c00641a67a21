#include "ConnectUI/Pairing/PairedAddresses.hpp"

#include "ConnectCore/Discovery/DeviceAddress.hpp"
#include "ConnectUI/Settings/StoredList.hpp"

#include <QJsonObject>

#include <algorithm>

namespace tarnwick {
namespace {

std::optional<PairedAddresses::Entry> decode(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const QJsonValue fingerprint = object.value("fingerprint");
    const QJsonValue address = object.value("address");
    if (!fingerprint.isString() || !address.isString() ||
        !DeviceAddress::parse(address.toString().toStdString())) {
        return std::nullopt;
    }
    return PairedAddresses::Entry{fingerprint.toString().toStdString(), address.toString().toStdString()};
}

QJsonValue encode(const PairedAddresses::Entry& entry) {
    return QJsonObject{{"fingerprint", QString::fromStdString(entry.fingerprint)},
                       {"address", QString::fromStdString(entry.address)}};
}

} // namespace

PairedAddresses::PairedAddresses(QSettings& settings)
    : settings_(settings),
      entries_(StoredList::load<Entry>(settings, settingsKey, decode)) {}

std::optional<std::string> PairedAddresses::address(const std::string& fingerprint) const {
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& listed) { return listed.fingerprint == fingerprint; });
    return entry == entries_.end() ? std::nullopt : std::optional(entry->address);
}

void PairedAddresses::remember(const std::string& fingerprint, const std::string& address) {
    std::erase_if(entries_, [&](const Entry& listed) { return listed.fingerprint == fingerprint; });
    entries_.push_back({fingerprint, address});
    persist();
}

void PairedAddresses::keepOnly(const std::set<std::string>& pairedFingerprints) {
    if (std::erase_if(entries_, [&](const Entry& listed) {
            return !pairedFingerprints.contains(listed.fingerprint);
        }) > 0) {
        persist();
    }
}

void PairedAddresses::persist() {
    StoredList::store(settings_, settingsKey, entries_, encode);
}

} // namespace tarnwick
