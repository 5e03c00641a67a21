#pragma once

#include "ConnectUI/Settings/ApplicationHome.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <memory>

namespace tarnwick::testing {

/// A profile folder of its own with its settings file, as one instance of the application has.
struct ProfileSettings {
    TemporaryDirectory folder;
    ApplicationHome home = ApplicationHome::inProfile(folder.path());
    std::unique_ptr<QSettings> settings = home.openSettings();

    /// The settings as a fresh launch reads them.
    std::unique_ptr<QSettings> reopened() const {
        settings->sync();
        return home.openSettings();
    }
};

} // namespace tarnwick::testing
