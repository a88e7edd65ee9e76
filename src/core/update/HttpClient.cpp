#include "update/HttpClient.h"

namespace kestrivel {

void IHttpClient::Get(const std::string& url, const std::string& userAgent, size_t maxBytes,
                      std::function<void(THttpResult)> done) {
    THttpRequest request;
    request.Url = url;
    request.Headers.emplace_back("User-Agent", userAgent);
    request.MaxBytes = maxBytes;
    Send(request, std::move(done));
}

} // namespace kestrivel
