#include "ConnectCore/Account/ConnectAPI.hpp"

#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/JSONFields.hpp"
#include "ConnectCore/Account/TransportError.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "ConnectCore/Async/Blocking.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

namespace tarnwick {
namespace {

std::string segment(const std::string& identifier) {
    return URLEncoding::encode(identifier, URLEncoding::pathSegment);
}

/// The answer's member that must hold a list, each element read by `decode`.
template <typename Element> std::vector<Element> listMember(const nlohmann::json& answer, const char* key) {
    if (!answer.contains(key) || !answer[key].is_array()) {
        throw DecodingError(std::string("the list \"") + key + "\"");
    }
    std::vector<Element> elements;
    for (const auto& element : answer[key]) {
        elements.push_back(Element::decode(element));
    }
    return elements;
}

HTTPClient::Response perform(const HTTPClient& http, const HTTPClient::Request& request) {
    try {
        return http.perform(request);
    } catch (const TransportError& error) {
        if (error.errorCase() == TransportError::Case::notHTTP) {
            throw APIError::malformedResponse();
        }
        throw;
    }
}

} // namespace

ConnectAPI::ConnectAPI(asio::any_io_executor blocking, std::shared_ptr<AuthStore> auth,
                       std::string apiBaseURL, HTTPClient http)
    : blocking_(std::move(blocking)),
      auth_(std::move(auth)),
      apiBaseURL_(std::move(apiBaseURL)),
      http_(http) {
    if (!apiBaseURL_.empty() && apiBaseURL_.back() == '/') {
        apiBaseURL_.pop_back();
    }
}

asio::awaitable<RegisteredDevice> ConnectAPI::registerDevice(std::string deviceId, std::string name,
                                                             std::string platform, Bytes publicKeySPKI,
                                                             std::string osVersion, std::string appVersion) {
    nlohmann::ordered_json body = {{"deviceId", deviceId},
                                   {"name", name},
                                   {"platform", platform},
                                   {"publicKeySPKI", Base64::encode(publicKeySPKI)},
                                   {"spkiSHA256", SPKIFingerprint::compute(publicKeySPKI)},
                                   {"osVersion", osVersion},
                                   {"appVersion", appVersion}};
    Call call{"POST", "/connect/devices", std::move(body)};
    const auto answer = co_await send(std::move(call));
    if (!answer.contains("device")) {
        throw DecodingError("the registered \"device\"");
    }
    co_return RegisteredDevice::decode(answer["device"]);
}

asio::awaitable<std::vector<RegisteredDevice>> ConnectAPI::listDevices() {
    Call call{"GET", "/connect/devices", std::nullopt};
    const auto answer = co_await send(std::move(call));
    co_return listMember<RegisteredDevice>(answer, "devices");
}

asio::awaitable<void> ConnectAPI::revokeDevice(std::string deviceId) {
    Call call{"DELETE", "/connect/devices/" + segment(deviceId), std::nullopt};
    co_await send(std::move(call));
}

asio::awaitable<std::string> ConnectAPI::submitPairing(std::string deviceId, std::string peerDeviceId,
                                                       std::string sasCommitment) {
    nlohmann::ordered_json body = {
        {"deviceId", deviceId}, {"peerDeviceId", peerDeviceId}, {"sasCommitment", sasCommitment}};
    Call call{"POST", "/connect/pairings", std::move(body)};
    const auto answer = co_await send(std::move(call));
    co_return JSONFields::text(answer, "state");
}

asio::awaitable<std::vector<RegisteredPairing>> ConnectAPI::listPairings() {
    Call call{"GET", "/connect/pairings", std::nullopt};
    const auto answer = co_await send(std::move(call));
    co_return listMember<RegisteredPairing>(answer, "pairings");
}

asio::awaitable<void> ConnectAPI::revokePairing(std::string deviceId, std::string peerDeviceId) {
    Call call{"DELETE",
              "/connect/pairings/" + segment(peerDeviceId) +
                  "?deviceId=" + URLEncoding::encode(deviceId, URLEncoding::queryValue),
              std::nullopt};
    co_await send(std::move(call));
}

asio::awaitable<std::string> ConnectAPI::wake(std::string targetDeviceId, std::string summary) {
    nlohmann::ordered_json body = {{"targetDeviceId", targetDeviceId}, {"summary", summary}};
    Call call{"POST", "/connect/wake", std::move(body)};
    const auto answer = co_await send(std::move(call));
    co_return JSONFields::text(answer, "delivered");
}

asio::awaitable<nlohmann::json> ConnectAPI::send(Call call) {
    const auto session = co_await auth_->currentSession();
    if (!session) {
        throw APIError::notSignedIn();
    }
    if (session->tenantSlug.empty()) {
        throw APIError::noWorkspace();
    }
    const std::string token = co_await auth_->validToken();
    HTTPClient::Request request{std::move(call.method),
                                apiBaseURL_ + call.path,
                                {{"Authorization", "Bearer " + token},
                                 {"X-Tenant-Slug", session->tenantSlug},
                                 {"Content-Type", "application/json"}},
                                call.body ? call.body->dump() : std::string()};
    auto work = [http = http_, request = std::move(request)] { return perform(http, request); };
    const HTTPClient::Response response = co_await runBlocking(blocking_, std::move(work));
    if (response.status < 200 || response.status > 299) {
        throw APIError::fromAnswer(static_cast<int>(response.status), response.body);
    }
    auto answer = nlohmann::json::parse(response.body, nullptr, false);
    if (!answer.is_object()) {
        throw DecodingError("the registry's answer");
    }
    co_return answer;
}

} // namespace tarnwick
