#include "http/QtDavTransport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

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

TQtDavTransport::TQtDavTransport(int timeoutMs)
    : m_client(std::make_unique<QtHttpClient>(nullptr, timeoutMs)) {}

TQtDavTransport::~TQtDavTransport() = default;

THttpResult TQtDavTransport::Send(const THttpRequest& request) {
    THttpRequest named = request;
    // Servers log who asks; the program names itself as the update check does, unless told otherwise.
    if (std::none_of(named.Headers.begin(), named.Headers.end(),
                     [](const auto& header) { return SameName(header.first, kUserAgentHeader); })) {
        named.Headers.emplace_back(kUserAgentHeader, kUserAgent);
    }
    THttpResult result;
    bool answered = false;
    QEventLoop loop;
    m_client->Send(named, [&](THttpResult answer) {
        result = std::move(answer);
        answered = true;
        loop.quit();
    });
    if (!answered) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // The finished reply was handed to deleteLater inside the loop; without this a sync of many
    // requests on a thread with no loop of its own would keep every one of them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

} // namespace kestrivel
