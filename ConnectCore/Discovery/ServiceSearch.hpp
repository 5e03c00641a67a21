#pragma once

#include "ConnectCore/Discovery/AvahiConnection.hpp"
#include "ConnectCore/Discovery/VisibleServices.hpp"

#include <avahi-client/lookup.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnwick {

/// The Avahi browse for this service type, for as long as the object lives, with each sighting resolved
/// once to its address and TXT record. Each change of what is visible is reported with the whole peer
/// list; a daemon that goes away takes every peer with it.
/// Resolvers are freed as soon as they answer: with one kept open on a name, avahi-daemon 0.8 no longer
/// notices that a service this host then publishes under that name collides with the remote one.
class ServiceSearch {
public:
    /// Called on Avahi's thread.
    using Report = std::function<void(std::vector<DiscoveredPeer> peers)>;

    explicit ServiceSearch(Report report);
    ~ServiceSearch();

    /// Resolves every sighting of the named service again and reports the list with what it finds. A
    /// device that restarted quickly keeps its name and browse record but may listen on a new port,
    /// which only a new resolve learns.
    void resolveAgain(const std::string& name);

private:
    void onClientState(AvahiClient* client, AvahiClientState state);
    static void onBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                         AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                         AvahiLookupResultFlags flags, void* self);
    static void onResolve(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol protocol,
                          AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                          const char* hostName, const AvahiAddress* address, std::uint16_t port,
                          AvahiStringList* txt, AvahiLookupResultFlags flags, void* self);
    void resolve(AvahiClient* client, const VisibleServices::Instance& instance);
    void forget(const VisibleServices::Instance& instance);
    void forgetEverything();

    const Report report_;
    // Touched on Avahi's thread, or with it held.
    AvahiServiceBrowser* browser_ = nullptr;
    /// Sightings still being resolved.
    std::map<VisibleServices::Instance, AvahiServiceResolver*> resolvers_;
    VisibleServices visible_;
    // Last, so that Avahi's thread stops before the state it uses goes.
    AvahiConnection connection_;
};

} // namespace tarnwick
