#include "ConnectUI/Presentation/ConnectHeadline.hpp"
#include "ConnectUI/Presentation/MenuPanelContent.hpp"
#include "ConnectUI/Presentation/TransferRowDetail.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Situation = ConnectHeadline::Situation;

// The window test reads the signed-out, signing-in, connected and drop-target headlines on screen; these
// are the rules' order and the situations it does not reach.
TEST(ConnectHeadline, TheFirstRuleThatAppliesWins) {
    const Situation signedIn{.signedIn = true};
    EXPECT_EQ(ConnectHeadline::of({.isSigningIn = true, .justSignedIn = true}).headline, "Signing in…");
    EXPECT_EQ(ConnectHeadline::of({.justSignedIn = true, .signedIn = true, .connectedDevices = 1}),
              (ConnectHeadline{"You're signed in", "This computer is registered with your account."}));
    // Devices seen or connected do not matter without an account.
    EXPECT_EQ(ConnectHeadline::of({.connectedDevices = 2, .discoveredPeers = 1}).headline,
              "Sign in to Tarnwick");
    auto nearby = signedIn;
    nearby.discoveredPeers = 1;
    nearby.isTargeted = true;
    EXPECT_EQ(ConnectHeadline::of(nearby).headline, "Nearby");
    EXPECT_EQ(ConnectHeadline::of(signedIn).headline, "Waiting for your phone");
}

TEST(MenuPanelContent, APendingPairingGivesWayOnlyToTheSignedInConfirmation) {
    const MenuPanelSituation everything{true, true, true, true, true};
    EXPECT_EQ(menuPanelContent(everything), MenuPanelContent::signedIn);
    auto pairing = everything;
    pairing.justSignedIn = false;
    EXPECT_EQ(menuPanelContent(pairing), MenuPanelContent::pairing);
    pairing.signedIn = false;
    EXPECT_EQ(menuPanelContent(pairing), MenuPanelContent::pairing);

    EXPECT_EQ(menuPanelContent({.blocked = true, .hasConnectedDevices = true}), MenuPanelContent::signIn);
    EXPECT_EQ(menuPanelContent({.signedIn = true, .blocked = true, .hasConnectedDevices = true}),
              MenuPanelContent::blocked);
    EXPECT_EQ(menuPanelContent({.signedIn = true, .hasConnectedDevices = true}), MenuPanelContent::devices);
    EXPECT_EQ(menuPanelContent({.signedIn = true}), MenuPanelContent::empty);
}

TEST(TransferRowDetail, ShowsProgressRateFailureOrSize) {
    TransferItem item{"id",   "/tmp/a.mov", "a.mov", 1'500'000, TransferItem::State::sending(0.429, 125'000),
                      "Phone"};
    EXPECT_EQ(transferRowDetail(item), "42% · 1 Mbps");
    item.state = TransferItem::State::sending(1.0, 0);
    EXPECT_EQ(transferRowDetail(item), "100%");
    item.state = TransferItem::State::failed("The device declined the transfer.");
    EXPECT_EQ(transferRowDetail(item), "The device declined the transfer.");
    item.state = TransferItem::State::finished();
    EXPECT_EQ(transferRowDetail(item), "1.5 MB");
}

} // namespace
} // namespace tarnwick
