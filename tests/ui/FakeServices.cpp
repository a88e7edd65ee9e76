#include "FakeServices.h"

#include "base/SecretStore.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"

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

bool FakeServices::ReadSyncPassword(const TSyncSettings& settings, std::string& password,
                                    std::string& error) {
    const auto secret = Secrets.find(SyncPasswordKey(settings.User, settings.Server));
    if (secret == Secrets.end()) {
        error = "The specified item could not be found in the keyring";
        return false;
    }
    password = secret->second;
    return true;
}

bool FakeServices::WriteSyncPassword(const TSyncSettings& settings, const std::string& password,
                                     std::string& error) {
    if (!StoreError.empty()) {
        error = StoreError;
        return false;
    }
    const std::string key = SyncPasswordKey(settings.User, settings.Server);
    if (password.empty()) {
        Secrets.erase(key);
    } else {
        Secrets[key] = password;
    }
    return true;
}

std::unique_ptr<IDavTransport> FakeServices::CreateDavTransport(int) {
    return MakeTransport ? MakeTransport() : nullptr;
}

std::unique_ptr<IEventCodec> FakeServices::CreateEventCodec() {
    return MakeCodec ? MakeCodec() : nullptr;
}

} // namespace kestrivel
