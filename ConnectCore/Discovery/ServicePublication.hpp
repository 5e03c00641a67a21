#pragma once

#include "ConnectCore/Discovery/AvahiConnection.hpp"
#include "ConnectCore/Discovery/TXTRecord.hpp"

#include <avahi-client/publish.h>
#include <avahi-common/strlst.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

/// This device's DNS-SD service, published through Avahi for as long as the object lives and withdrawn
/// when it goes. It is registered again whenever the daemon comes back, and renamed the way Avahi names
/// alternatives ("Studio Mac #2") when another service already holds the name, so a second device with
/// the same name does not stop this one from being found.
class ServicePublication {
public:
    ServicePublication(std::string name, std::uint16_t port, const TXTRecord& txt);
    ~ServicePublication();

    /// The name the service is established under on the network right now, if it is.
    std::optional<std::string> establishedName();

private:
    struct FreeStringList {
        void operator()(AvahiStringList* list) const { avahi_string_list_free(list); }
    };

    void onClientState(AvahiClient* client, AvahiClientState state);
    static void onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self);
    void publish(AvahiEntryGroup* group);
    void takeAlternativeName();

    // Touched on Avahi's thread, or under the connection's lock.
    std::string name_;
    const std::uint16_t port_;
    const std::unique_ptr<AvahiStringList, FreeStringList> txt_;
    AvahiEntryGroup* group_ = nullptr;
    std::optional<std::string> established_;
    // Last, so that Avahi's thread stops before the state it uses goes.
    AvahiConnection connection_;
};

} // namespace tarnwick
