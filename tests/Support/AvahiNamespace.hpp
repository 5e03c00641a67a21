#pragma once

#include "tests/Support/NetworkNamespace.hpp"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

/// Where tests that multicast may run: only inside the private network that
/// tests/integration/with-avahi-namespace.sh builds, never on this machine's own interfaces.
namespace tarnwick::testing::AvahiNamespace {

/// Whether the script started this process (it may still have failed to build the network).
inline bool isRequested() {
    const char* marker = std::getenv("TARNWICK_AVAHI_NAMESPACE");
    return marker && std::string(marker) == "inside";
}

/// Whether the network is the script's: loopback and the one veth end, nothing of the machine's.
inline bool isPrivate() {
    return seesOnlyInterfaces({"lo", "d0"});
}

inline bool daemonAnswers() {
    return std::system("dbus-send --system --print-reply --dest=org.freedesktop.Avahi / "
                       "org.freedesktop.Avahi.Server.GetVersionString >/dev/null 2>&1") == 0;
}

/// The command line that runs a program on the second device of the script's network.
inline std::vector<std::string> onPeer(std::vector<std::string> command) {
    const char* pid = std::getenv("TARNWICK_PEER_PID");
    std::vector<std::string> line{"nsenter", "-t", pid ? pid : "", "-n", "-m", "--"};
    line.insert(line.end(), command.begin(), command.end());
    return line;
}

} // namespace tarnwick::testing::AvahiNamespace
