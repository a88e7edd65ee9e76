#pragma once

#include <string>

#include "config/SyncSettings.h"
#include "update/HttpClient.h"

namespace kestrivel {

// The fingerprint of the certificate the user trusts for `sync.Server`, empty when none: a
// certificate trusted for another server (another origin) is not this one's.
std::string TrustedFingerprint(const TSyncSettings& sync);

// `sync` trusting the certificate with `fingerprint` (SHA-256 hex, colons allowed) for its server,
// in place of any certificate trusted before. False, unchanged, for a server address without an
// origin or a fingerprint that is not 32 bytes of hex.
bool TrustCertificate(TSyncSettings& sync, const std::string& fingerprint);

// "AB:CD:..." of 32 hex bytes in any case, with or without colons; empty for anything else.
std::string NormalSha256Fingerprint(const std::string& text);

// "SHA-256 AB:CD:..., subject, valid from .. to ..": what the user checks before trusting it, on one
// printable line.
std::string CertificateSummary(const TCertificateInfo& certificate);
// The English reason `kestrivel --sync` gives for a certificate it did not trust at `server`.
std::string CertificateReason(const std::string& server, const TCertificateInfo& certificate);

} // namespace kestrivel
