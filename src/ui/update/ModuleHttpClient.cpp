#include "update/ModuleHttpClient.h"

#include "base/Modules.h"
#include "update/HttpModule.h"

#include <QTimer>

namespace kestrivel {

TModuleHttpClient::TModuleHttpClient(int timeoutMs, QStringList folders, QObject* parent)
    : QObject(parent), m_timeoutMs(timeoutMs), m_folders(std::move(folders)) {}

TModuleHttpClient::~TModuleHttpClient() = default;

void TModuleHttpClient::Send(const THttpRequest& request, std::function<void(THttpResult)> done) {
    if (!m_tried) {
        m_tried = true;
        const auto create = ResolveModuleFunction<KestrivelCreateHttpClientFn>(
            kHttpModuleName, kCreateHttpClientSymbol, m_folders.isEmpty() ? ModuleFolders() : m_folders);
        if (create != nullptr) {
            m_client.reset(create(m_timeoutMs));
        }
    }
    if (m_client) {
        m_client->Send(request, std::move(done));
        return;
    }
    QTimer::singleShot(0, this, [done = std::move(done)] {
        THttpResult result;
        result.Error = "the network module is missing";
        done(std::move(result));
    });
}

} // namespace kestrivel
