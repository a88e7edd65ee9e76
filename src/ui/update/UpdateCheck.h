#pragma once

#include "update/Update.h"

#include <QObject>

#include <memory>
#include <string>

class QWidget;

namespace kestrivel {

class IHttpClient;
class TServices;

// The update check of the calendar window: fetches the version file without blocking, and when the
// answer arrives offers the download page of a newer version. The automatic check is silent unless
// there is an update; the manual one also says when there is none (M1) or when the version file
// could not be fetched or read (E2). A check asked for while one runs or its question is open is
// not started again, so questions never stack; a manual request upgrades a running automatic one.
class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    // Uses the services' HTTP client and the endpoint the program was built with.
    TUpdateCheck(TServices& services, QWidget* parent);
    // `endpoint` is the scheme and host serving "/versions.inf"; empty means there is none.
    TUpdateCheck(TServices& services, IHttpClient& http, std::string endpoint, QWidget* parent);

    void checkAutomatic();
    void checkManual();

    bool isRunning() const { return m_running; }
    const TUpdate& UpdateInfo() const { return *m_update; }
    // The endpoint the program was built with (KESTRIVEL_UPDATE_ENDPOINT); may be empty.
    static std::string builtInEndpoint();

signals:
    // A check ended: its answer was handled and any box it showed is closed.
    void finished();

private:
    void start(bool manual);
    void answer(bool fetched);
    void finish();

    TServices& m_services;
    IHttpClient& m_http;
    QWidget* m_window;
    std::string m_address;
    std::shared_ptr<TUpdate> m_update;
    bool m_running = false;
    bool m_manual = false;
};

} // namespace kestrivel
