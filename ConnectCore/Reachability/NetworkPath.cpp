#include "ConnectCore/Reachability/NetworkPath.hpp"

#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tarnwick::NetworkPath {
namespace {

bool isReachableAddress(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        return true;
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return !IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
    }
    return false;
}

} // namespace

std::optional<bool> isSatisfied() {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return std::nullopt;
    }
    bool satisfied = false;
    for (const ifaddrs* entry = interfaces; entry && !satisfied; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        satisfied = entry->ifa_addr && (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK) &&
                    isReachableAddress(entry->ifa_addr);
    }
    freeifaddrs(interfaces);
    return satisfied;
}

asio::generic::raw_protocol::socket changes(const asio::any_io_executor& executor) {
    const asio::generic::raw_protocol protocol(AF_NETLINK, NETLINK_ROUTE);
    asio::generic::raw_protocol::socket socket(executor, protocol);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    socket.bind(asio::generic::raw_protocol::endpoint(&address, sizeof address, NETLINK_ROUTE));
    return socket;
}

} // namespace tarnwick::NetworkPath
