#include "base/SyncModules.h"

#include "base/Modules.h"
#include "memos/ICalendarModule.h"
#include "update/HttpModule.h"

namespace kestrivel {

namespace {

// The codec as the module's two plain functions.
class TModuleEventCodec : public IEventCodec {
public:
    TModuleEventCodec(KestrivelEncodeEventFn encode, KestrivelDecodeEventFn decode,
                      KestrivelPatchEventFn patch)
        : m_encode(encode), m_decode(decode), m_patch(patch) {}

    std::string Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) override {
        std::string out;
        // A memo the module cannot write gives no object, as the interface promises.
        if (!m_encode(memo, uid, stampUtcSeconds, out)) {
            out.clear();
        }
        return out;
    }

    bool Decode(const std::string& data, TEventMemo& out) override { return m_decode(data, out); }

    std::string Patch(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds) override {
        std::string out;
        if (!m_patch(data, memo, stampUtcSeconds, out)) {
            out.clear();
        }
        return out;
    }

private:
    KestrivelEncodeEventFn m_encode;
    KestrivelDecodeEventFn m_decode;
    KestrivelPatchEventFn m_patch;
};

QStringList OrProgramFolders(const QStringList& folders) {
    return folders.isEmpty() ? ModuleFolders() : folders;
}

} // namespace

std::unique_ptr<IDavTransport> CreateModuleDavTransport(int timeoutMs, const QStringList& folders) {
    const auto create = ResolveModuleFunction<KestrivelCreateDavTransportFn>(
        kHttpModuleName, kCreateDavTransportSymbol, OrProgramFolders(folders));
    return std::unique_ptr<IDavTransport>(create != nullptr ? create(timeoutMs) : nullptr);
}

std::unique_ptr<IEventCodec> CreateModuleEventCodec(const QStringList& folders) {
    const QStringList where = OrProgramFolders(folders);
    const auto encode =
        ResolveModuleFunction<KestrivelEncodeEventFn>(kICalendarModuleName, kEncodeEventSymbol, where);
    const auto decode =
        ResolveModuleFunction<KestrivelDecodeEventFn>(kICalendarModuleName, kDecodeEventSymbol, where);
    const auto patch =
        ResolveModuleFunction<KestrivelPatchEventFn>(kICalendarModuleName, kPatchEventSymbol, where);
    if (encode == nullptr || decode == nullptr || patch == nullptr) {
        return nullptr;
    }
    return std::make_unique<TModuleEventCodec>(encode, decode, patch);
}

} // namespace kestrivel
