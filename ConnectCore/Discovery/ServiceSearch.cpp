#include "ConnectCore/Discovery/ServiceSearch.hpp"

#include "ConnectCore/Discovery/ConnectService.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <netinet/in.h>

namespace tarnwick {
namespace {

asio::ip::address address(const AvahiAddress& found, AvahiIfIndex interface) {
    if (found.proto == AVAHI_PROTO_INET) {
        return asio::ip::address_v4(ntohl(found.data.ipv4.address));
    }
    asio::ip::address_v6::bytes_type bytes;
    std::memcpy(bytes.data(), found.data.ipv6.address, bytes.size());
    asio::ip::address_v6 v6(bytes);
    // A link-local address means nothing without the interface it was seen on.
    if (v6.is_link_local()) {
        v6.scope_id(static_cast<unsigned long>(interface));
    }
    return v6;
}

std::vector<std::string> strings(AvahiStringList* txt) {
    std::vector<std::string> result;
    for (AvahiStringList* item = txt; item; item = avahi_string_list_get_next(item)) {
        result.emplace_back(reinterpret_cast<const char*>(avahi_string_list_get_text(item)),
                            avahi_string_list_get_size(item));
    }
    return result;
}

} // namespace

ServiceSearch::ServiceSearch(Report report)
    : report_(std::move(report)),
      connection_([this](AvahiClient* client, AvahiClientState state) { onClientState(client, state); }) {
    connection_.start();
}

ServiceSearch::~ServiceSearch() = default;

void ServiceSearch::onClientState(AvahiClient* client, AvahiClientState state) {
    if (state == AVAHI_CLIENT_S_RUNNING && !browser_) {
        const std::string type(ConnectService::type);
        browser_ = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type.c_str(),
                                             nullptr, AvahiLookupFlags(0), onBrowse, this);
    } else if (state == AVAHI_CLIENT_FAILURE) {
        // The browser and resolvers go with the client.
        browser_ = nullptr;
        resolvers_.clear();
        forgetEverything();
    }
}

void ServiceSearch::onBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                             AvahiBrowserEvent event, const char* name, const char*, const char* domain,
                             AvahiLookupResultFlags, void* self) {
    auto* search = static_cast<ServiceSearch*>(self);
    switch (event) {
    case AVAHI_BROWSER_NEW:
        search->resolve(avahi_service_browser_get_client(browser), {name, domain, interface, protocol});
        break;
    case AVAHI_BROWSER_REMOVE:
        search->forget({name, domain, interface, protocol});
        break;
    case AVAHI_BROWSER_FAILURE:
        for (const auto& [instance, resolver] : search->resolvers_) {
            avahi_service_resolver_free(resolver);
        }
        search->resolvers_.clear();
        avahi_service_browser_free(browser);
        search->browser_ = nullptr;
        search->forgetEverything();
        break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
}

void ServiceSearch::onResolve(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
                              AvahiResolverEvent event, const char* name, const char*, const char*,
                              const char*, const AvahiAddress* found, std::uint16_t port,
                              AvahiStringList* txt, AvahiLookupResultFlags, void* self) {
    auto* search = static_cast<ServiceSearch*>(self);
    const auto entry =
        std::ranges::find_if(search->resolvers_, [&](const auto& entry) { return entry.second == resolver; });
    if (entry == search->resolvers_.end()) {
        return;
    }
    const VisibleServices::Instance instance = entry->first;
    search->resolvers_.erase(entry);
    avahi_service_resolver_free(resolver);
    if (event == AVAHI_RESOLVER_FOUND && found) {
        const asio::ip::tcp::endpoint endpoint(address(*found, interface), port);
        search->visible_.resolved(
            instance, DiscoveredPeer::fromService(name, TXTRecord::decode(strings(txt)), endpoint));
        search->report_(search->visible_.peers());
    } else if (search->visible_.removed(instance)) {
        // Not resolvable, so not dialable: out of the list until the browser sees it anew.
        search->report_(search->visible_.peers());
    }
}

void ServiceSearch::resolveAgain(const std::string& name) {
    const std::lock_guard avahi(connection_);
    if (!browser_) {
        return;
    }
    for (const auto& instance : visible_.instances(name)) {
        resolve(avahi_service_browser_get_client(browser_), instance);
    }
}

void ServiceSearch::resolve(AvahiClient* client, const VisibleServices::Instance& instance) {
    if (resolvers_.contains(instance)) {
        return;
    }
    const std::string type(ConnectService::type);
    // The address is looked up in the family the service was seen in, which the daemon always answers.
    AvahiServiceResolver* resolver = avahi_service_resolver_new(
        client, instance.interfaceIndex, instance.protocol, instance.name.c_str(), type.c_str(),
        instance.domain.c_str(), instance.protocol, AvahiLookupFlags(0), onResolve, this);
    if (resolver) {
        resolvers_.emplace(instance, resolver);
    }
}

void ServiceSearch::forget(const VisibleServices::Instance& instance) {
    if (const auto entry = resolvers_.find(instance); entry != resolvers_.end()) {
        avahi_service_resolver_free(entry->second);
        resolvers_.erase(entry);
    }
    if (visible_.removed(instance)) {
        report_(visible_.peers());
    }
}

void ServiceSearch::forgetEverything() {
    const bool wasEmpty = visible_.peers().empty();
    visible_.clear();
    if (!wasEmpty) {
        report_({});
    }
}

} // namespace tarnwick
