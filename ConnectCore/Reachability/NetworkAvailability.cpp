#include "ConnectCore/Reachability/NetworkAvailability.hpp"

#include "ConnectCore/Discovery/ListeningSocket.hpp"

#include <asio/io_context.hpp>

namespace tarnwick::NetworkAvailability {
namespace {

bool probe() {
    try {
        asio::io_context context;
        // Never published, never accepting: it only finds out whether listening is allowed.
        ListeningSocket::open(context.get_executor(), 0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool canBindListener() {
    static const bool answer = probe();
    return answer;
}

} // namespace tarnwick::NetworkAvailability
