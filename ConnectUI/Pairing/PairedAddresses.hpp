#pragma once

#include <QSettings>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

/// Where paired devices answered when they were dialled by address, so that a device DNS-SD does not see
/// can be tried there again. Kept apart from the paired devices, under "pairedAddresses" as one JSON
/// array, so that the paired devices' stored form stays as peers and older versions read it. Main thread
/// only.
class PairedAddresses {
public:
    static constexpr const char* settingsKey = "pairedAddresses";

    struct Entry {
        std::string fingerprint;
        /// "HOST:PORT", as the user typed it.
        std::string address;

        bool operator==(const Entry&) const = default;
    };

    /// Loads the stored list; stored data that does not decode gives an empty list.
    explicit PairedAddresses(QSettings& settings);

    const std::vector<Entry>& entries() const { return entries_; }
    std::optional<std::string> address(const std::string& fingerprint) const;
    /// The device's address from now on; then stores the list.
    void remember(const std::string& fingerprint, const std::string& address);
    /// Forgets the addresses of devices that are no longer paired; then stores the list if it changed.
    void keepOnly(const std::set<std::string>& pairedFingerprints);

private:
    void persist();

    QSettings& settings_;
    std::vector<Entry> entries_;
};

} // namespace tarnwick
