#include "http/QtDavTransport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

#include <algorithm>
#include <cctype>
#include <memory>
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
    // The wait also ends when the thread is told to quit (the calendar closing); the answer may then
    // still come, later, to a state that outlives this call.
    struct Wait {
        THttpResult Result;
        bool Answered = false;
        QEventLoop* Loop = nullptr;
    };
    auto wait = std::make_shared<Wait>();
    QEventLoop loop;
    wait->Loop = &loop;
    m_client->Send(named, [wait](THttpResult answer) {
        wait->Result = std::move(answer);
        wait->Answered = true;
        if (wait->Loop != nullptr) {
            wait->Loop->quit();
        }
    });
    if (!wait->Answered) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    wait->Loop = nullptr;
    // The finished reply was handed to deleteLater inside the loop; without this a sync of many
    // requests on a thread with no loop of its own would keep every one of them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!wait->Answered) {
        THttpResult stopped;
        stopped.Error = "stopped before the answer came";
        return stopped;
    }
    return std::move(wait->Result);
}

} // namespace kestrivel
