#include "ConnectUI/Presentation/MenuPanelContent.hpp"

namespace tarnwick {

MenuPanelContent menuPanelContent(const MenuPanelSituation& situation) {
    if (situation.justSignedIn) {
        return MenuPanelContent::signedIn;
    }
    if (situation.pairingPending) {
        return MenuPanelContent::pairing;
    }
    if (!situation.signedIn) {
        return MenuPanelContent::signIn;
    }
    if (situation.blocked) {
        return MenuPanelContent::blocked;
    }
    return situation.hasConnectedDevices ? MenuPanelContent::devices : MenuPanelContent::empty;
}

std::string toString(MenuPanelContent content) {
    switch (content) {
    case MenuPanelContent::signedIn:
        return "signedIn";
    case MenuPanelContent::pairing:
        return "pairing";
    case MenuPanelContent::signIn:
        return "signIn";
    case MenuPanelContent::blocked:
        return "blocked";
    case MenuPanelContent::devices:
        return "devices";
    case MenuPanelContent::empty:
        break;
    }
    return "empty";
}

} // namespace tarnwick
