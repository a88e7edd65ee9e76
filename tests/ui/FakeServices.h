#pragma once

#include "base/Services.h"
#include "config/Autostart.h"
#include "update/HttpClient.h"

#include <QDateTime>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrivel {

// Answers HTTP requests from a table; the answer is delivered at once or when Deliver() is called.
class FakeHttpClient : public IHttpClient {
public:
    struct TRequest {
        std::string Url;
        std::string UserAgent;
        size_t MaxBytes = 0;
        std::function<void(THttpResult)> Done;
    };
    void Send(const THttpRequest& request, std::function<void(THttpResult)> done) override;
    // Answers the oldest pending request.
    void Deliver(THttpResult result);

    std::vector<TRequest> Pending;
    std::vector<std::string> Urls; // every address asked for, in order
};

class FakeAutostart : public IAutostart {
public:
    bool setAutostart(const std::string& programName, const std::string& programPath, bool on,
                      std::string& error) override;
    std::vector<bool> Calls;
    bool Fail = false;
};

// Services that record every box and answer them from queues; no dialog ever opens. A box with no
// queued answer gets OK / No / Cancel, and records it anyway.
class FakeServices : public TServices {
public:
    FakeServices();
    // Built once per test: FakeServices services; ... services.Answers.push_back(TMessageResult::Yes);

    QDateTime Now() const override { return Clock; }
    int ShowBox(QWidget* parent, const TMessageBox& box) override;
    std::optional<std::string> InputBox(QWidget* parent, const TMessageBox& box) override;
    QString OpenFileName(QWidget* parent, const QString& filter, const QString& folder = QString()) override;
    QString LastOpenFolder;
    QString SaveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) override;
    QList<QRect> ScreenRects() const override { return Screens; }
    bool OpenUrl(const QString& url) override;
    QString Environment(const char* name) const override;
    void Notify(const QString& summary, const QString& body) override { Notices.append({summary, body}); }
    bool IsActiveWindow(const QWidget& window) const override;
    bool CompositorActive(const QWidget& window) const override;
    void ReadSyncPassword(const TSyncSettings& settings, QObject* context, SecretDone done) override;
    void WriteSyncPassword(const TSyncSettings& settings, const std::string& password, QObject* context,
                           SecretDone done) override;
    // Copies of the test's factories (a missing one makes null).
    TSyncMakers SyncMakers(int timeoutMs) override;

    FakeHttpClient& FakeHttp() { return static_cast<FakeHttpClient&>(Http()); }
    FakeAutostart& FakeAuto() { return static_cast<FakeAutostart&>(Autostart()); }

    QDateTime Clock = QDateTime(QDate(2026, 12, 7), QTime(12, 0));
    QList<QRect> Screens = {QRect(0, 0, 1920, 1080)};
    std::deque<int> Answers;                       // for ShowBox
    std::deque<std::optional<std::string>> Inputs; // for InputBox
    std::deque<QString> FileNames;                 // for both file dialogs
    std::deque<std::optional<QColor>> Colors;
    std::vector<TMessageBox> Boxes;                // every box shown, input boxes included
    std::function<void(const TMessageBox&)> OnBox; // called as each box shows, before its answer
    std::vector<QString> OpenedUrls;
    QList<QStringList> Notices;               // every desktop notification: title, body
    std::map<std::string, QString> Variables; // the whole environment: anything else is unset
    // Focus and compositor as a test wants them; unset asks the real window.
    std::optional<bool> ActiveWindow;
    std::optional<bool> Compositor;
    // The secret store, by SyncPasswordKey; a store that refuses every write with StoreError set,
    // none at all with NoStore. It answers StoreDelayMs after it was asked, from what it holds then.
    std::map<std::string, std::string> Secrets;
    std::string StoreError;
    bool NoStore = false;
    int StoreDelayMs = 0;
    std::vector<std::string> StoreReads; // the keys asked for, in order
    int StoreAnswers = 0;                // reads answered
    std::function<std::unique_ptr<IDavTransport>()> MakeTransport;
    std::function<std::unique_ptr<IEventCodec>()> MakeCodec;
};

} // namespace kestrivel
