#include "sync/CertificateTrust.h"

#include <cctype>

#include "common/TextTrim.h"
#include "sync/DavUrl.h"

namespace kestrivel {

std::string NormalSha256Fingerprint(const std::string& text) {
    std::string hex;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (c != ':') {
            return std::string();
        }
    }
    if (hex.size() != 64) {
        return std::string();
    }
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        out += (i == 0 ? "" : ":") + hex.substr(i, 2);
    }
    return out;
}

std::string TrustedFingerprint(const TSyncSettings& sync) {
    const size_t space = sync.Certificate.find(' ');
    if (space == std::string::npos || !SameOrigin(sync.Certificate.substr(0, space), sync.Server)) {
        return std::string();
    }
    return NormalSha256Fingerprint(sync.Certificate.substr(space + 1));
}

bool TrustCertificate(TSyncSettings& sync, const std::string& fingerprint) {
    const std::string origin = UrlOrigin(sync.Server);
    const std::string normal = NormalSha256Fingerprint(fingerprint);
    if (origin.empty() || normal.empty()) {
        return false;
    }
    sync.Certificate = origin + " " + normal;
    return true;
}

std::string CertificateSummary(const TCertificateInfo& certificate) {
    return OneLine("SHA-256 " + certificate.Fingerprint + ", " + certificate.Subject + ", valid from " +
                   certificate.ValidFrom + " to " + certificate.ValidTo);
}

std::string CertificateReason(const std::string& server, const TCertificateInfo& certificate) {
    const std::string shown = CertificateSummary(certificate);
    if (certificate.Changed) {
        return "the certificate of " + server + " changed since it was trusted (" + shown +
               "); trust the new one in the Sync group only if you know why it changed";
    }
    return "the certificate of " + server + " is not trusted (" + shown +
           "); if it is your server's, trust it in the Sync group";
}

} // namespace kestrivel
