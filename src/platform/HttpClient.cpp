// SPDX-License-Identifier: MIT
// The libcurl side of HttpClient: one easy handle per client, so its in-memory cookies and its
// connection carry over from one request to the next.
#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <optional>

namespace tw::platform {

namespace {

// libcurl wants its global set-up once, before the first handle.
void EnsureCurlReady() {
    static const bool ready = [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw HttpError("libcurl could not be initialised");
        return true;
    }();
    (void)ready;
}

struct Body {
    std::string text;
    std::size_t limit = 0;
    bool tooLarge = false;
};

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* body = static_cast<Body*>(user);
    const std::size_t bytes = size * count;
    if (body->text.size() + bytes > body->limit) {
        body->tooLarge = true;
        return 0; // makes libcurl end the transfer with an error
    }
    body->text.append(data, bytes);
    return bytes;
}

// Asked by libcurl while it waits and while data flows; a non-zero answer ends the transfer.
int ReportProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancelled = static_cast<const std::atomic<bool>*>(user);
    return cancelled->load() ? 1 : 0;
}

} // namespace

struct CurlHttpClient::Impl {
    CURL* handle = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* postHeaders = nullptr;
    HttpLimits limits;
    const std::atomic<bool>* cancelled = nullptr;
    std::optional<std::chrono::steady_clock::time_point> deadline; // set by the first request
};

CurlHttpClient::CurlHttpClient(HttpLimits limits, const std::atomic<bool>* cancelled)
    : impl_(std::make_unique<Impl>()) {
    EnsureCurlReady();
    impl_->limits = limits;
    impl_->cancelled = cancelled;
    impl_->handle = curl_easy_init();
    if (impl_->handle == nullptr) throw HttpError("libcurl could not make a handle");
    CURL* h = impl_->handle;
    impl_->headers = curl_slist_append(impl_->headers, "Accept: text/html, */*");
    impl_->headers = curl_slist_append(impl_->headers, "Content-Type: text/html");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, impl_->headers);
    // A POST carries bytes, and goes at once instead of asking the server first.
    impl_->postHeaders = curl_slist_append(impl_->postHeaders, "Accept: text/html, */*");
    impl_->postHeaders = curl_slist_append(impl_->postHeaders, "Content-Type: application/octet-stream");
    impl_->postHeaders = curl_slist_append(impl_->postHeaders, "Expect:");
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, ""); // cookies kept in memory for this client
    curl_easy_setopt(h, CURLOPT_PROXY, "");      // never a proxy from the environment
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L); // time-outs without SIGALRM
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendBody);
    if (cancelled != nullptr) {
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &ReportProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancelled));
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }
}

CurlHttpClient::~CurlHttpClient() {
    curl_easy_cleanup(impl_->handle);
    curl_slist_free_all(impl_->headers);
    curl_slist_free_all(impl_->postHeaders);
}

std::string CurlHttpClient::Get(const std::string& url) {
    CURL* h = impl_->handle;
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, impl_->headers);
    return Perform(url);
}

std::string CurlHttpClient::Post(const std::string& url, const std::string& bytes) {
    CURL* h = impl_->handle;
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, impl_->postHeaders);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, bytes.data());
    std::string answer;
    try {
        answer = Perform(url);
    } catch (...) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
        throw;
    }
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
    return answer;
}

std::string CurlHttpClient::Perform(const std::string& url) {
    if (impl_->cancelled != nullptr && impl_->cancelled->load()) throw HttpError("cancelled");
    // The time this request may take is what the client's deadline leaves (libcurl reads 0 as no
    // limit at all, so a deadline reached fails here).
    const auto now = std::chrono::steady_clock::now();
    if (!impl_->deadline) impl_->deadline = now + impl_->limits.totalTimeout;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*impl_->deadline - now);
    if (left.count() <= 0)
        throw HttpError("no time left: the requests took " + std::to_string(impl_->limits.totalTimeout.count()) +
                        " ms together");
    CURL* h = impl_->handle;
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    Body body;
    body.limit = impl_->limits.maxBodySize;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    const CURLcode result = curl_easy_perform(h);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    if (body.tooLarge) throw HttpError("answer larger than " + std::to_string(body.limit) + " bytes");
    if (result != CURLE_OK) throw HttpError(error[0] != '\0' ? error : curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    // Only a plain success counts: an error page or an unfollowed redirect is no answer.
    if (status < 200 || status > 299) throw HttpError("HTTP status " + std::to_string(status));
    return body.text;
}

} // namespace tw::platform
