#include "update/Update.h"

#include "common/IntConv.h"

#include <optional>
#include <utility>

namespace kestrivel {

std::string extractVersionValue(std::string_view response, std::string_view key) {
    const std::string needle = std::string(key) + "=";
    const size_t at = response.find(needle);
    if (at == std::string_view::npos) {
        return {};
    }
    const size_t start = at + needle.size();
    const size_t end = response.find("\r\n", start);
    return std::string(response.substr(start, end == std::string_view::npos ? end : end - start));
}

bool readVersionInfo(TUpdate& update, std::string_view prefix, std::string response) {
    update.Response = std::move(response);
    if (update.Response.empty()) {
        return false;
    }
    const std::string key(prefix);
    // StrToIntOpt takes leading blanks, one sign, decimal digits or "$"/"0x" hexadecimal, and
    // nothing after them, so "1.2.3", a trailing blank or an empty value all fail here.
    const std::optional<int32_t> version = StrToIntOpt(extractVersionValue(update.Response, key + "Version"));
    if (!version) {
        return false;
    }
    update.Version = *version;
    update.URL = extractVersionValue(update.Response, key + "URL");
    return true;
}

bool isNewerVersion(const TUpdate& update) {
    return update.Version > kOwnVersion;
}

std::string versionFileAddress(std::string_view endpoint) {
    if (endpoint.empty()) {
        return {};
    }
    if (endpoint.back() == '/') {
        endpoint.remove_suffix(1);
    }
    return std::string(endpoint) + std::string(kVersionFilePath);
}

void FetchVersionInfo(std::shared_ptr<TUpdate> update, IHttpClient& http, std::string prefix,
                      const std::string& url, std::function<void(bool)> done) {
    update->Response.clear();
    http.Get(url, std::string(kUpdateUserAgent), kMaxVersionResponseBytes,
             [update, prefix = std::move(prefix), done = std::move(done)](THttpResult result) {
                 const bool ok = result.Ok && readVersionInfo(*update, prefix, std::move(result.Body));
                 done(ok);
             });
}

} // namespace kestrivel
