#include "ConnectUI/Presentation/ConnectHeadline.hpp"

namespace tarnwick {

ConnectHeadline ConnectHeadline::of(const Situation& situation) {
    if (situation.isSigningIn) {
        return {"Signing in…", "Finish signing in in your browser. This window will update itself."};
    }
    if (situation.justSignedIn) {
        return {"You're signed in", "This computer is registered with your account."};
    }
    if (!situation.signedIn) {
        return {"Sign in to Tarnwick",
                "Your account is how this computer and your phone recognise each other."};
    }
    if (situation.connectedDevices > 0) {
        return {situation.isTargeted ? "Release to send" : "Drop files to send",
                "Straight to your device over the local network. Nothing is uploaded."};
    }
    if (situation.discoveredPeers > 0) {
        return {"Nearby", "Pick a device to connect to. Files move directly over your network — nothing is "
                          "uploaded."};
    }
    return {"Waiting for your phone", "Open Tarnwick › Connect on your phone and it will appear here. Files "
                                      "move directly over your network — nothing is uploaded."};
}

} // namespace tarnwick
