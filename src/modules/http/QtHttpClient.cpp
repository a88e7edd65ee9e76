#include "http/QtHttpClient.h"

#include "http/StreamHttp.h"

#include <QThread>

#include <memory>
#include <utility>

namespace kestrivel {

QtHttpClient::QtHttpClient(QObject* parent, int timeoutMs) : QObject(parent), m_timeoutMs(timeoutMs) {}

void QtHttpClient::Send(const THttpRequest& request, std::function<void(THttpResult)> done) {
    auto result = std::make_shared<THttpResult>();
    QThread* worker = QThread::create([request, result, timeoutMs = m_timeoutMs] {
        StreamHttp http(timeoutMs);
        *result = http.send(request);
    });
    // Queued to this client's thread; a client deleted meanwhile takes the connection with it. The
    // thread is nobody's child: it ends within the time-out and then deletes itself.
    connect(worker, &QThread::finished, this, [result, done = std::move(done)] { done(std::move(*result)); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

} // namespace kestrivel
