#include "sync/CertificateTrust.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

const std::string kHex = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kNormal =
    "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF";

// A trusted certificate belongs to the origin it was trusted for: the scheme, host and port of the
// address, whatever its path; any other spelling of another server, or a damaged entry, trusts
// nothing.
TEST(CertificateTrust, TrustedFingerprintTable) {
    const struct {
        const char* Server;
        std::string Certificate;
        std::string Expected;
    } cases[] = {
        {"https://cal.example.org/anna/", "https://cal.example.org:443 " + kNormal, kNormal},
        {"https://CAL.example.org:443/x/", "https://cal.example.org:443 " + kHex, kNormal},
        {"https://cal.example.org:8443/", "https://cal.example.org:443 " + kNormal, ""},
        {"http://cal.example.org:443/", "https://cal.example.org:443 " + kNormal, ""},
        {"https://cal.example.org.evil/", "https://cal.example.org:443 " + kNormal, ""},
        {"https://cal.example.org/", "https://cal.example.org:443 " + kNormal.substr(3), ""},
        {"https://cal.example.org/", "https://cal.example.org:443 " + kNormal + ":00", ""},
        {"https://cal.example.org/", "https://cal.example.org:443", ""},
        {"https://cal.example.org/", "", ""},
        {"https://cal.example.org/", "https://cal.example.org:443 " + kHex.substr(0, 63) + "g", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Server) + " | " + c.Certificate);
        TSyncSettings sync;
        sync.Server = c.Server;
        sync.Certificate = c.Certificate;
        EXPECT_EQ(TrustedFingerprint(sync), c.Expected);
    }
}

TEST(CertificateTrust, TrustingKeepsTheOriginOrNothing) {
    TSyncSettings sync;
    sync.Server = "https://[::1]:8443/cal/";
    ASSERT_TRUE(TrustCertificate(sync, kHex));
    EXPECT_EQ(sync.Certificate, "https://[::1]:8443 " + kNormal);
    EXPECT_EQ(TrustedFingerprint(sync), kNormal);
    // A fingerprint that is not 32 bytes, or an address without an origin: nothing changes.
    EXPECT_FALSE(TrustCertificate(sync, kHex.substr(2)));
    sync.Server = "https://anna:pw@host/";
    EXPECT_FALSE(TrustCertificate(sync, kHex));
    EXPECT_EQ(sync.Certificate, "https://[::1]:8443 " + kNormal);
}

} // namespace
