#include "update/UpdateCheck.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "lang/MessageTable.h"
#include "base/UnitMessages.h"

#include <QPointer>
#include <QWidget>

#include <utility>

#ifndef KESTRIVEL_UPDATE_ENDPOINT
#define KESTRIVEL_UPDATE_ENDPOINT ""
#endif

namespace kestrivel {

namespace {

// Message numbers of the update check.
constexpr int kNoUpdateInfo = 1;       // M1
constexpr int kCheckFailedError = 2;   // E2
constexpr int kNewVersionQuestion = 3; // Q3

} // namespace

TUpdateCheck::TUpdateCheck(TServices& services, QWidget* parent)
    : TUpdateCheck(services, services.Http(), builtInEndpoint(), parent) {}

TUpdateCheck::TUpdateCheck(TServices& services, IHttpClient& http, std::string endpoint, QWidget* parent)
    : QObject(parent), m_services(services), m_http(http), m_window(parent),
      m_address(versionFileAddress(endpoint)), m_update(std::make_shared<TUpdate>()) {}

std::string TUpdateCheck::builtInEndpoint() {
    return KESTRIVEL_UPDATE_ENDPOINT;
}

void TUpdateCheck::checkAutomatic() {
    start(false);
}

void TUpdateCheck::checkManual() {
    start(true);
}

void TUpdateCheck::start(bool manual) {
    if (m_running) {
        m_manual = m_manual || manual;
        return;
    }
    m_running = true;
    m_manual = manual;
    if (m_address.empty()) {
        // A build without an endpoint cannot check; only the user who asked is told.
        answer(false);
        return;
    }
    // The answer may come after this object is gone (the window closed while waiting).
    QPointer<TUpdateCheck> self(this);
    FetchVersionInfo(m_update, m_http, std::string(kUpdateKeyPrefix), m_address, [self](bool fetched) {
        if (self) {
            self->answer(fetched);
        }
    });
}

void TUpdateCheck::answer(bool fetched) {
    if (fetched && isNewerVersion(*m_update)) {
        if (AskQuestion(m_services, m_window, kNewVersionQuestion) == TMessageResult::Yes) {
            // Refuses anything but http and https: the address comes from the network.
            m_services.OpenUrl(TextToQString(m_update->URL));
        }
    } else if (m_manual) {
        if (fetched) {
            ShowInfo(m_services, m_window, kNoUpdateInfo);
        } else {
            ShowError(m_services, m_window, kCheckFailedError);
        }
    }
    finish();
}

void TUpdateCheck::finish() {
    m_running = false;
    m_manual = false;
    emit finished();
}

} // namespace kestrivel
