#include "http/QtDavTransport.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kestrivel {

namespace {

constexpr const char* kUserAgentHeader = "User-Agent";
constexpr const char* kUserAgent = "Kestrivel";

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

TQtDavTransport::TQtDavTransport(int timeoutMs) : m_client(timeoutMs) {}

TQtDavTransport::~TQtDavTransport() = default;

THttpResult TQtDavTransport::Send(const THttpRequest& request) {
    THttpRequest named = request;
    // Servers log who asks; the program names itself as the update check does, unless told otherwise.
    if (std::none_of(named.Headers.begin(), named.Headers.end(),
                     [](const auto& header) { return SameName(header.first, kUserAgentHeader); })) {
        named.Headers.emplace_back(kUserAgentHeader, kUserAgent);
    }
    return m_client.send(named);
}

} // namespace kestrivel
