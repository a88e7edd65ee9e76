// The WebDAV answer reader: any bytes must read or be refused, and what reads must keep its promises.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sync/CalDavClient.h"
#include "sync/DavUrl.h"
#include "sync/DavXml.h"

using namespace kestrivel;

namespace {

bool HasBareLineFeed(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string xml(reinterpret_cast<const char*>(data), size);
    TDavAnswer answer;
    std::string error;
    const bool ok = ParseDavAnswer(xml, answer, error);
    if (ok != error.empty()) {
        __builtin_trap(); // a refusal always says why, a reading never does
    }
    if (!ok && (answer.IsMultiStatus || !answer.Responses.empty())) {
        __builtin_trap(); // nothing of a refused answer is kept
    }
    if (answer.Responses.size() > kMaxDavResponses) {
        __builtin_trap(); // a flood is refused, not kept
    }
    for (const TDavResponse& r : answer.Responses) {
        if (HasBareLineFeed(r.CalendarData) || r.Status < 0 || r.Status > 999 ||
            r.Hrefs.size() > kMaxDavListItems || r.HomeSetHrefs.size() > kMaxDavListItems ||
            r.Components.size() > kMaxDavListItems) {
            __builtin_trap();
        }
        // The hrefs the server gave go through the address helpers as the client sends them; what
        // the client would write to lies on the collection's origin and holds no line break.
        for (const std::string& href : r.Hrefs) {
            const std::string resolved = ResolveHref("http://example.com/a/b/", href);
            (void)HrefKey(resolved);
            if (InsideCollection("http://example.com/a/b/", resolved) &&
                (HasControlCharacter(resolved) || !SameOrigin(resolved, "http://example.com/"))) {
                __builtin_trap();
            }
        }
    }
    (void)StatusLineCode(xml);
    return 0;
}
