#include "sync/SyncRunner.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "base/SyncModules.h"
#include "common/TextTrim.h"
#include "lang/MessageTable.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <memory>

namespace kestrivel {

namespace {

static constexpr const char* kPasswordVariable = "KESTRIVEL_SYNC_PASSWORD";
static constexpr int kMsPerMinute = 60 * 1000;

// One sync on the calling thread: the transport and the codec are made, used and deleted here.
TSyncReport RunSync(TServices& services, const std::string& folder, const TSyncSettings& settings,
                    int64_t now) {
    std::unique_ptr<IDavTransport> transport = services.CreateDavTransport(kSyncRequestTimeoutMs);
    std::unique_ptr<IEventCodec> codec = services.CreateEventCodec();
    if (!transport || !codec) {
        TSyncReport report;
        report.Failure = TSyncFailure::ModuleMissing;
        report.Reason = "the program's network or iCalendar module is missing";
        return report;
    }
    return SyncFolder(folder, settings, *transport, *codec, now);
}

} // namespace

TSyncRunner::TSyncRunner(TServices& services, std::string folder, QObject* parent)
    : QObject(parent), m_services(services), m_folder(std::move(folder)), m_interval(new QTimer(this)),
      m_changeDelay(new QTimer(this)) {
    m_interval->setSingleShot(true);
    m_changeDelay->setSingleShot(true);
    m_changeDelay->setInterval(kChangeDelayMs);
    connect(m_interval, &QTimer::timeout, this, &TSyncRunner::Request);
    connect(m_changeDelay, &QTimer::timeout, this, &TSyncRunner::Request);
}

TSyncRunner::~TSyncRunner() {
    stopThread();
}

void TSyncRunner::Configure(const TSyncSettings& settings) {
    m_settings = settings;
    m_passwordKnown = !settings.Password.empty();
    m_again = false;
    if (!m_settings.enabled()) {
        m_interval->stop();
        m_changeDelay->stop();
        stopThread();
        return;
    }
    startThread();
    m_interval->start(m_settings.IntervalMinutes * kMsPerMinute);
}

bool TSyncRunner::Scheduled() const {
    return m_interval->isActive() || m_changeDelay->isActive();
}

void TSyncRunner::LocalChange() {
    if (Enabled()) {
        m_changeDelay->start();
    }
}

void TSyncRunner::Request() {
    if (!Enabled()) {
        return;
    }
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_interval->stop();
    m_changeDelay->stop();
    // The secret store may spin an event loop while it answers; a request meanwhile only queues.
    resolvePassword();
    if (!m_thread) { // the settings were cleared while the store answered
        m_running = false;
        return;
    }
    const int64_t now = m_services.Now().toSecsSinceEpoch();
    TServices* services = &m_services;
    QMetaObject::invokeMethod(
        m_worker,
        [this, services, folder = m_folder, settings = m_settings, now] {
            const TSyncReport report = RunSync(*services, folder, settings, now);
            QMetaObject::invokeMethod(
                this, [this, report] { runDone(report); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TSyncRunner::resolvePassword() {
    if (m_passwordKnown) {
        return;
    }
    const QString fromEnvironment = m_services.Environment(kPasswordVariable);
    std::string password = fromEnvironment.toStdString();
    std::string error;
    // No entry is no password: a server may take anyone, and otherwise says so.
    if (fromEnvironment.isEmpty() && !m_services.ReadSyncPassword(m_settings, password, error)) {
        password.clear();
    }
    m_settings.Password = password;
    m_passwordKnown = true;
}

void TSyncRunner::runDone(const TSyncReport& report) {
    m_running = false;
    // A password changed in the store meanwhile is read again.
    if (report.Failure == TSyncFailure::Unauthorized) {
        m_passwordKnown = false;
    }
    if (Enabled()) {
        m_interval->start(m_settings.IntervalMinutes * kMsPerMinute);
    }
    emit finished(report);
    if (m_again) {
        m_again = false;
        Request();
    }
}

void TSyncRunner::startThread() {
    if (m_thread) {
        return;
    }
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("sync"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
}

void TSyncRunner::stopThread() {
    if (!m_thread) {
        return;
    }
    // Ending the thread's event loops ends the transport's wait as well, so a sync in the middle of
    // a request stops at once; the state file lets the next one go on from there.
    m_thread->quit();
    m_thread->wait();
    // Finished: its parent or the event loop frees it.
    m_thread->deleteLater();
    m_thread = nullptr;
    m_worker = nullptr;
}

QString SyncStatusText(const TNameValueList& messages, const TSyncReport& report, const QTime& at) {
    // S17 was taken before ModuleMissing came; its line is S18.
    const int number = report.Failure == TSyncFailure::ModuleMissing ? 18 : static_cast<int>(report.Failure);
    const std::string text = messages.value("S" + std::to_string(number));
    switch (report.Failure) {
    case TSyncFailure::None:
        return TextToQString(FillPlaceholders(text, at.toString(QStringLiteral("HH:mm")).toStdString()));
    case TSyncFailure::Redirected:
        return TextToQString(FillPlaceholders(text, OneLine(report.Location)));
    case TSyncFailure::Incomplete:
        return TextToQString(FillPlaceholders(text, std::to_string(report.Left)));
    case TSyncFailure::RemovalsRefused:
        return TextToQString(FillPlaceholders(text, std::to_string(report.RemovalsHeld)));
    default:
        return TextToQString(text);
    }
}

} // namespace kestrivel
