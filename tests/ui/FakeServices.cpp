#include "FakeServices.h"

#include "base/SecretStore.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"

#include <QTimer>

namespace kestrivel {

void FakeHttpClient::Send(const THttpRequest& request, std::function<void(THttpResult)> done) {
    std::string agent;
    for (const auto& [name, value] : request.Headers) {
        if (name == "User-Agent") {
            agent = value;
        }
    }
    Urls.push_back(request.Url);
    Pending.push_back({request.Url, agent, request.MaxBytes, std::move(done)});
}

void FakeHttpClient::Deliver(THttpResult result) {
    if (Pending.empty()) {
        return;
    }
    TRequest request = std::move(Pending.front());
    Pending.erase(Pending.begin());
    request.Done(std::move(result));
}

bool FakeAutostart::setAutostart(const std::string& programName, const std::string&, bool on,
                                 std::string& error) {
    Calls.push_back(on);
    if (Fail) {
        error = FailedToSetDataMessage(programName);
        return false;
    }
    return true;
}

FakeServices::FakeServices()
    : TServices(std::make_unique<FakeHttpClient>(), std::make_unique<FakeAutostart>()) {}

int FakeServices::ShowBox(QWidget*, const TMessageBox& box) {
    Boxes.push_back(box);
    if (OnBox) {
        OnBox(box);
    }
    if (!Answers.empty()) {
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    switch (box.Buttons) {
    case TMessageButtons::YesNo:
        return TMessageResult::No;
    case TMessageButtons::YesNoCancel:
        return TMessageResult::Cancel;
    default:
        return 1;
    }
}

std::optional<std::string> FakeServices::InputBox(QWidget*, const TMessageBox& box) {
    Boxes.push_back(box);
    if (Inputs.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = Inputs.front();
    Inputs.pop_front();
    return answer;
}

QString FakeServices::OpenFileName(QWidget*, const QString&, const QString& folder) {
    LastOpenFolder = folder;
    if (FileNames.empty()) {
        return {};
    }
    const QString name = FileNames.front();
    FileNames.pop_front();
    return name;
}

QString FakeServices::SaveFileName(QWidget* parent, const QString& filter, const QString&) {
    return OpenFileName(parent, filter);
}

std::optional<QColor> FakeServices::PickColor(QWidget*, const QColor&) {
    if (Colors.empty()) {
        return std::nullopt;
    }
    std::optional<QColor> color = Colors.front();
    Colors.pop_front();
    return color;
}

bool FakeServices::OpenUrl(const QString& url) {
    if (!IsWebAddress(url)) {
        return false;
    }
    OpenedUrls.push_back(url);
    return true;
}

QString FakeServices::Environment(const char* name) const {
    const auto variable = Variables.find(name);
    return variable == Variables.end() ? QString() : variable->second;
}

bool FakeServices::IsActiveWindow(const QWidget& window) const {
    return ActiveWindow ? *ActiveWindow : TServices::IsActiveWindow(window);
}

bool FakeServices::CompositorActive(const QWidget& window) const {
    return Compositor ? *Compositor : TServices::CompositorActive(window);
}

void FakeServices::ReadSyncPassword(const TSyncSettings& settings, QObject* context, SecretDone done) {
    const std::string key = SyncPasswordKey(settings.User, settings.Server);
    StoreReads.push_back(key);
    QTimer::singleShot(StoreDelayMs, context, [this, key, done = std::move(done)] {
        ++StoreAnswers;
        const auto secret = Secrets.find(key);
        if (NoStore) {
            done({TSecretAnswer::Kind::NoStore, {}, "no session bus"});
        } else if (secret == Secrets.end()) {
            done({TSecretAnswer::Kind::Missing, {}, "The specified item could not be found in the keyring"});
        } else {
            done({TSecretAnswer::Kind::Done, secret->second, {}});
        }
    });
}

void FakeServices::WriteSyncPassword(const TSyncSettings& settings, const std::string& password,
                                     QObject* context, SecretDone done) {
    const std::string key = SyncPasswordKey(settings.User, settings.Server);
    QTimer::singleShot(StoreDelayMs, context, [this, key, password, done = std::move(done)] {
        if (NoStore) {
            done({TSecretAnswer::Kind::NoStore, {}, "no session bus"});
        } else if (!StoreError.empty()) {
            done({TSecretAnswer::Kind::Failed, {}, StoreError});
        } else {
            if (password.empty()) {
                Secrets.erase(key);
            } else {
                Secrets[key] = password;
            }
            done({TSecretAnswer::Kind::Done, {}, {}});
        }
    });
}

TServices::TSyncMakers FakeServices::SyncMakers(int) {
    const auto transport = MakeTransport;
    const auto codec = MakeCodec;
    return {[transport]() -> std::unique_ptr<IDavTransport> { return transport ? transport() : nullptr; },
            [codec]() -> std::unique_ptr<IEventCodec> { return codec ? codec() : nullptr; }};
}

} // namespace kestrivel
