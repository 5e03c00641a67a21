#include "ConnectCore/Account/HTTPClient.hpp"

#include "ConnectCore/Account/TransportError.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"

#include <curl/curl.h>

#include <memory>

namespace tarnwick {
namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

/// Where the body goes while it arrives; refusing a write past the limit makes curl stop at once.
struct BodySink {
    std::string body;
    std::size_t limit;
    bool overflowed = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto& sink = *static_cast<BodySink*>(user);
    const std::size_t length = size * count;
    if (length > sink.limit - sink.body.size()) {
        sink.overflowed = true;
        return 0;
    }
    sink.body.append(data, length);
    return length;
}

TransportError transportError(CURLcode code, const BodySink& sink, const char* detail) {
    const std::string message = *detail ? std::string(detail) : curl_easy_strerror(code);
    if (sink.overflowed) {
        return TransportError(TransportError::Case::responseTooLarge,
                              "answer longer than " + std::to_string(sink.limit) + " bytes");
    }
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return TransportError(TransportError::Case::timedOut, message);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return TransportError(TransportError::Case::notHTTP, message);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return TransportError(TransportError::Case::cannotConnect, message);
    default:
        return TransportError(TransportError::Case::failed, message);
    }
}

TransportError stopped() {
    return TransportError(TransportError::Case::failed, "the request was stopped");
}

// libcurl asks while it waits too, about once a second; a non-zero answer ends the exchange.
int checkAborted(void* aborted, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(aborted)->load() ? 1 : 0;
}

} // namespace

HTTPClient::Response HTTPClient::perform(const Request& request) const {
    if (aborted_->load()) {
        throw stopped();
    }
    const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        throw TransportError(TransportError::Case::failed, "cannot start an HTTP request");
    }
    CURL* curl = handle.get();
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.headers) {
        headers = curl_slist_append(headers, (name + ": " + value).c_str());
    }
    const std::unique_ptr<curl_slist, HeaderListDeleter> headerList(headers);
    BodySink sink{{}, limits_.maxBodySize};
    char detail[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Engine threads must never see a signal from a resolver timeout.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits_.timeout.count()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkAborted);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, aborted_.get());
    if (!request.body.empty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }

    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        throw stopped();
    }
    if (code != CURLE_OK) {
        throw transportError(code, sink, detail);
    }
    Response response;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    response.body = std::move(sink.body);
    return response;
}

std::string HTTPClient::formBody(const std::map<std::string, std::string>& fields) {
    std::string body;
    for (const auto& [key, value] : fields) {
        body += (body.empty() ? "" : "&") + key + "=" + URLEncoding::encode(value, URLEncoding::formValue);
    }
    return body;
}

} // namespace tarnwick
