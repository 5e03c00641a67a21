// The device and pairing registry of the development back end, and the routes of every service.
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"
#include "tools/DevBackend/DevBackend.hpp"

#include <ctime>
#include <httplib.h>

namespace tarnwick::dev {
namespace {

using namespace std::chrono_literals;
using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

/// More wake requests than this for one device within a minute are refused with 429.
constexpr int wakesPerMinute = 5;

std::string timestamp(DevTokens::Clock::time_point time) {
    const std::time_t seconds = DevTokens::Clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

nlohmann::json deviceJSON(const DevDatabase::Device& device) {
    return {{"deviceId", device.deviceId},           {"name", device.name},
            {"platform", device.platform},           {"spkiSHA256", device.spkiSHA256},
            {"publicKeySPKI", device.publicKeySPKI}, {"lastSeenAt", device.lastSeenAt}};
}

/// The request body's text members, in order; none when the body is not an object holding them all.
std::optional<std::vector<std::string>> texts(const nlohmann::json& body,
                                              std::initializer_list<const char*> keys) {
    std::vector<std::string> values;
    for (const char* key : keys) {
        if (!body.is_object() || !body.contains(key) || !body[key].is_string()) {
            return std::nullopt;
        }
        values.push_back(body[key].get<std::string>());
    }
    return values;
}

std::string state(const DevDatabase::Pairing& pairing) {
    if (pairing.commitmentA.empty() || pairing.commitmentB.empty()) {
        return "pending";
    }
    return pairing.commitmentA == pairing.commitmentB ? "active" : "mismatch";
}

} // namespace

void DevBackend::install(httplib::Server& server) {
    server.Get("/login", [this](const auto& request, auto& response) { showLogin(request, response); });
    server.Post("/login", [this](const auto& request, auto& response) { signIn(request, response); });
    server.Post("/oauth2/token",
                [this](const auto& request, auto& response) { grantToken(request, response); });

    // Every registry route runs only for an authorized caller, with the body it sent when there is one.
    const auto registry = [this](auto route) -> Handler {
        return [this, route](const httplib::Request& request, httplib::Response& response) {
            if (const auto tenant = authorize(request, response)) {
                route(*tenant, request, nlohmann::json::parse(request.body, nullptr, false), response);
            }
        };
    };
    server.Post("/connect/devices",
                registry([this](const auto& tenant, const auto&, const auto& body, auto& response) {
                    registerDevice(tenant, body, response);
                }));
    server.Get("/connect/devices",
               registry([this](const auto& tenant, const auto&, const auto&, auto& response) {
                   nlohmann::json devices = nlohmann::json::array();
                   for (const auto& device : database_.devices(tenant)) {
                       devices.push_back(deviceJSON(device));
                   }
                   answer(response, 200, {{"devices", devices}});
               }));
    server.Delete("/connect/devices/(.+)",
                  registry([this](const auto& tenant, const auto& request, const auto&, auto& response) {
                      if (!database_.removeDevice(tenant, request.matches[1])) {
                          fail(response, 404, "not_found");
                          return;
                      }
                      answer(response, 200, nlohmann::json::object());
                  }));
    server.Post("/connect/pairings",
                registry([this](const auto& tenant, const auto&, const auto& body, auto& response) {
                    submitPairing(tenant, body, response);
                }));
    server.Get("/connect/pairings", registry([this](const auto& tenant, const auto&, const auto&,
                                                    auto& response) { listPairings(tenant, response); }));
    server.Delete(
        "/connect/pairings/(.+)",
        registry([this](const auto& tenant, const auto& request, const auto&, auto& response) {
            if (!database_.removePairing(tenant, request.get_param_value("deviceId"), request.matches[1])) {
                fail(response, 404, "not_found");
                return;
            }
            answer(response, 200, nlohmann::json::object());
        }));
    server.Post("/connect/wake", registry([this](const auto& tenant, const auto&, const auto& body,
                                                 auto& response) { wake(tenant, body, response); }));
}

std::optional<std::string> DevBackend::authorize(const httplib::Request& request,
                                                 httplib::Response& response) const {
    const std::string header = request.get_header_value("Authorization");
    const auto claims = header.starts_with("Bearer ") ? tokens_.verify(header.substr(7)) : std::nullopt;
    if (!claims || claims->value("token_use", "") != "id" || !(*claims)["exp"].is_number_integer()) {
        fail(response, 401, "unauthorized");
        return std::nullopt;
    }
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(DevTokens::Clock::now().time_since_epoch());
    if ((*claims)["exp"].get<std::int64_t>() <= now.count()) {
        fail(response, 403, "token_expired");
        return std::nullopt;
    }
    const std::string tenant = claims->value("custom:tenantSlug", "");
    if (tenant.empty()) {
        fail(response, 403, "no_workspace");
        return std::nullopt;
    }
    if (request.get_header_value("X-Tenant-Slug") != tenant) {
        fail(response, 403, "tenant_mismatch");
        return std::nullopt;
    }
    return tenant;
}

void DevBackend::registerDevice(const std::string& tenant, const nlohmann::json& body,
                                httplib::Response& response) {
    const auto fields = texts(
        body, {"deviceId", "name", "platform", "publicKeySPKI", "spkiSHA256", "osVersion", "appVersion"});
    if (!fields || (*fields)[0].empty()) {
        fail(response, 400, "bad_request");
        return;
    }
    // The fingerprint must be that of the key sent with it, or peers would pin the wrong key.
    const auto key = Base64::decode((*fields)[3]);
    if (!key || SPKIFingerprint::compute(*key) != (*fields)[4]) {
        fail(response, 400, "fingerprint_mismatch");
        return;
    }
    const DevDatabase::Device device{
        (*fields)[0], (*fields)[1], (*fields)[2], (*fields)[3],
        (*fields)[4], (*fields)[5], (*fields)[6], timestamp(DevTokens::Clock::now())};
    database_.putDevice(tenant, device);
    answer(response, 200, {{"device", deviceJSON(device)}});
}

void DevBackend::submitPairing(const std::string& tenant, const nlohmann::json& body,
                               httplib::Response& response) {
    const auto fields = texts(body, {"deviceId", "peerDeviceId", "sasCommitment"});
    if (!fields || (*fields)[0] == (*fields)[1]) {
        fail(response, 400, "bad_request");
        return;
    }
    if (!database_.device(tenant, (*fields)[0]) || !database_.device(tenant, (*fields)[1])) {
        fail(response, 404, "unknown_device");
        return;
    }
    const auto pairing = database_.submitPairing(tenant, (*fields)[0], (*fields)[1], (*fields)[2]);
    answer(response, 200, {{"state", state(pairing)}});
}

void DevBackend::listPairings(const std::string& tenant, httplib::Response& response) {
    nlohmann::json pairings = nlohmann::json::array();
    for (const auto& pairing : database_.pairings(tenant)) {
        const auto a = database_.device(tenant, pairing.deviceA);
        const auto b = database_.device(tenant, pairing.deviceB);
        if (state(pairing) == "active" && a && b) {
            pairings.push_back({{"pairKey", pairing.deviceA + ":" + pairing.deviceB},
                                {"deviceA", pairing.deviceA},
                                {"deviceB", pairing.deviceB},
                                {"spkiA", a->spkiSHA256},
                                {"spkiB", b->spkiSHA256}});
        }
    }
    answer(response, 200, {{"pairings", pairings}});
}

void DevBackend::wake(const std::string& tenant, const nlohmann::json& body, httplib::Response& response) {
    const auto fields = texts(body, {"targetDeviceId", "summary"});
    if (!fields) {
        fail(response, 400, "bad_request");
        return;
    }
    if (!database_.device(tenant, (*fields)[0])) {
        fail(response, 404, "unknown_device");
        return;
    }
    const auto now = DevTokens::Clock::now();
    if (database_.recordWake(tenant, (*fields)[0], now, now - 1min) > wakesPerMinute) {
        fail(response, 429, "rate_limited");
        return;
    }
    // Nothing is pushed anywhere here: the request is only recorded.
    answer(response, 200, {{"delivered", "queued"}});
}

} // namespace tarnwick::dev
