#include "ConnectCore/Reachability/NetworkAvailability.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::NetworkAvailability {
namespace {

// A plain listening socket on any free port of every address, closed again at once: never published,
// never accepting. Plain system calls, as an event loop would itself need descriptors that may be refused.
bool listens(int family) {
    const int socket = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return false;
    }
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_any;
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = family == AF_INET6
                           ? ::bind(socket, reinterpret_cast<const sockaddr*>(&v6), sizeof v6) == 0
                           : ::bind(socket, reinterpret_cast<const sockaddr*>(&v4), sizeof v4) == 0;
    const bool listening = bound && ::listen(socket, SOMAXCONN) == 0;
    ::close(socket);
    return listening;
}

} // namespace

bool canBindListener() {
    // The advertiser listens on IPv6 where the host has it, else on IPv4.
    static const bool answer = listens(AF_INET6) || listens(AF_INET);
    return answer;
}

} // namespace tarnwick::NetworkAvailability
