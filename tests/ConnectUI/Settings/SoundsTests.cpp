#include "ConnectUI/Settings/Sounds.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <QFile>
#include <QSignalSpy>
#include <QSoundEffect>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class SoundsTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    testing::ProfileSettings profile;
};

// Resources of a static library reach the program only when linked in whole; silence would hide it.
TEST_F(SoundsTest, BothSoundsShipWithTheProgram) {
    EXPECT_TRUE(QFile::exists(":/sounds/received.wav"));
    EXPECT_TRUE(QFile::exists(":/sounds/sent.wav"));
}

TEST_F(SoundsTest, AreOnUnlessAFalseWasStored) {
    EXPECT_TRUE(Sounds(*profile.settings).isEnabled());
    profile.settings->setValue(Sounds::settingsKey, "loud");
    EXPECT_TRUE(Sounds(*profile.settings).isEnabled());
    profile.settings->setValue(Sounds::settingsKey, false);
    EXPECT_FALSE(Sounds(*profile.settings).isEnabled());
}

TEST_F(SoundsTest, TheChoiceIsKeptAcrossLaunchesAndOnlyAChangeIsAnnounced) {
    Sounds sounds(*profile.settings);
    QSignalSpy changes(&sounds, &Sounds::isEnabledChanged);
    sounds.setEnabled(true);
    EXPECT_EQ(changes.count(), 0);
    sounds.setEnabled(false);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(Sounds(*profile.reopened()).isEnabled());

    // Turning them on again plays the preview; with no sound device here it must stay silent, not fail.
    sounds.setEnabled(true);
    sounds.playSent();
    sounds.playReceived();
    EXPECT_TRUE(Sounds(*profile.reopened()).isEnabled());
    // Qt 6.4's sample cache deadlocks at exit while it is still loading a sample, which hung this program
    // and the command line after a send: exit waits for the loads.
    bool loaded = false;
    sounds.whenLoaded([&loaded] { loaded = true; });
    EXPECT_TRUE(testing::waitFor([&loaded] { return loaded; }));
    for (const QSoundEffect* effect : sounds.findChildren<QSoundEffect*>()) {
        EXPECT_NE(effect->status(), QSoundEffect::Loading);
    }
}

} // namespace
} // namespace tarnwick
