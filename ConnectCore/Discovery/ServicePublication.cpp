#include "ConnectCore/Discovery/ServicePublication.hpp"

#include "ConnectCore/Discovery/ConnectService.hpp"

#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <mutex>

namespace tarnwick {
namespace {

AvahiStringList* stringList(const TXTRecord& txt) {
    AvahiStringList* list = nullptr;
    const std::vector<std::string> strings = txt.encode();
    // Adding puts a string in front, so the record is built from its end.
    for (auto text = strings.rbegin(); text != strings.rend(); ++text) {
        list = avahi_string_list_add_arbitrary(list, reinterpret_cast<const std::uint8_t*>(text->data()),
                                               text->size());
    }
    return list;
}

} // namespace

ServicePublication::ServicePublication(std::string name, std::uint16_t port, const TXTRecord& txt)
    : name_(std::move(name)),
      port_(port),
      txt_(stringList(txt)),
      connection_([this](AvahiClient* client, AvahiClientState state) { onClientState(client, state); }) {
    connection_.start();
}

ServicePublication::~ServicePublication() = default;

std::optional<std::string> ServicePublication::establishedName() {
    std::lock_guard lock(connection_);
    return established_;
}

void ServicePublication::onClientState(AvahiClient* client, AvahiClientState state) {
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        // The group's first state is reported from inside avahi_entry_group_new, before it returns.
        if (!group_) {
            group_ = avahi_entry_group_new(client, onGroupState, this);
        }
        if (group_) {
            publish(group_);
        }
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The daemon is (re)establishing its host name; our records wait until it runs again.
        if (group_) {
            avahi_entry_group_reset(group_);
        }
        established_.reset();
        break;
    case AVAHI_CLIENT_FAILURE:
        group_ = nullptr;
        established_.reset();
        break;
    case AVAHI_CLIENT_CONNECTING:
        break;
    }
}

void ServicePublication::onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self) {
    auto* publication = static_cast<ServicePublication*>(self);
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        publication->established_ = publication->name_;
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        // Another device on the network already answers to this name.
        publication->takeAlternativeName();
        publication->publish(group);
        break;
    case AVAHI_ENTRY_GROUP_FAILURE:
        publication->established_.reset();
        break;
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
}

void ServicePublication::publish(AvahiEntryGroup* group) {
    avahi_entry_group_reset(group);
    established_.reset();
    const std::string type(ConnectService::type);
    int result = 0;
    // A service of this daemon's own clients already holding the name is refused here, not reported later.
    while ((result = avahi_entry_group_add_service_strlst(
                group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), name_.c_str(), type.c_str(),
                nullptr, nullptr, port_, txt_.get())) == AVAHI_ERR_COLLISION) {
        takeAlternativeName();
    }
    if (result == AVAHI_OK) {
        avahi_entry_group_commit(group);
    }
}

void ServicePublication::takeAlternativeName() {
    char* alternative = avahi_alternative_service_name(name_.c_str());
    name_ = alternative;
    avahi_free(alternative);
}

} // namespace tarnwick
