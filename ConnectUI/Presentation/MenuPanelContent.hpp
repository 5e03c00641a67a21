#pragma once

#include <string>

namespace tarnwick {

/// What the menu panel shows between its header and its lists: the first that applies.
enum class MenuPanelContent { signedIn, pairing, signIn, blocked, devices, empty };

struct MenuPanelSituation {
    bool justSignedIn = false;
    bool pairingPending = false;
    bool signedIn = false;
    bool blocked = false;
    bool hasConnectedDevices = false;
};

MenuPanelContent menuPanelContent(const MenuPanelSituation& situation);

/// The name the views switch on.
std::string toString(MenuPanelContent content);

} // namespace tarnwick
