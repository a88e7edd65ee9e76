#include "sync/SyncFailure.h"

#include "common/TextTrim.h"
#include "sync/CertificateTrust.h"
#include "sync/DavUrl.h"

namespace kestrivel {

void DescribeDavFailure(const TDavStatus& status, const TSyncSettings& settings, TSyncReport& report) {
    const std::string detail =
        status.Detail.empty() ? "HTTP " + std::to_string(status.HttpStatus) : status.Detail;
    const std::string& server = settings.Server;
    const std::string& user = settings.User;
    switch (status.Error) {
    case TDavError::Network:
        report.Failure = TSyncFailure::Network;
        report.Reason = "cannot reach " + server + ": " + detail;
        break;
    case TDavError::Unauthorized:
        report.Failure = TSyncFailure::Unauthorized;
        report.Reason = user.empty()
                            ? std::string("the server asks for a user name and password, and no user "
                                          "is set ([Sync] User)")
                            : "the server refused user " + user + ": wrong user name or password";
        break;
    case TDavError::Forbidden:
        report.Failure = TSyncFailure::Forbidden;
        report.Reason = "the server refuses user " + user + " access to the calendar: " + detail;
        break;
    case TDavError::ReadOnly:
        report.Failure = TSyncFailure::ReadOnly;
        report.Reason = "the calendar is read-only for user " + user + ": " + detail;
        break;
    case TDavError::Redirected:
        report.Failure = TSyncFailure::Redirected;
        report.Location = OneLine(status.Location);
        report.Reason = "the server sends the sync on to " + status.Location +
                        "; set that as the server address if you trust it";
        break;
    case TDavError::NotFound:
        report.Failure = TSyncFailure::NoCalendar;
        report.Reason = "there is nothing at " + server + ": " + detail;
        break;
    case TDavError::NotCalendar:
        report.Failure = TSyncFailure::NotCalendar;
        report.Reason = server + " is not a calendar";
        break;
    case TDavError::Untrusted:
        report.Failure = TSyncFailure::Untrusted;
        report.Certificate = status.Certificate;
        report.Reason = CertificateReason(server, status.Certificate);
        break;
    default:
        report.Failure = TSyncFailure::Server;
        report.Reason = "the server at " + server + " gave an unusable answer: " + detail;
    }
    report.Reason = OneLine(report.Reason);
}

void DescribeRefusedChanges(size_t left, TSyncReport& report) {
    report.Failure = TSyncFailure::Incomplete;
    report.Left = static_cast<int>(left);
    report.Reason = std::to_string(left) + (left == 1 ? " change was" : " changes were") +
                    " not sent: the server refused them again and again (the event changed there "
                    "meanwhile, or the server does not keep what it is sent)";
}

TSyncReport LocalSyncFailure(std::string reason) {
    TSyncReport report;
    report.Failure = TSyncFailure::LocalFile;
    report.Reason = std::move(reason);
    return report;
}

TSyncFailure CheckSyncAddress(const TSyncSettings& settings, std::string& reason) {
    if (!settings.enabled()) {
        reason = "no calendar server is set";
        return TSyncFailure::NotConfigured;
    }
    switch (CheckServerAddress(settings.Server)) {
    case TAddressProblem::NotHttp:
        // Not repeated: what is no address may still hold a password.
        reason = "the server address must start with http:// or https:// and name a host";
        return TSyncFailure::BadAddress;
    case TAddressProblem::BadPort:
        reason = "the port of the server address is not a number from 1 to 65535";
        return TSyncFailure::BadAddress;
    case TAddressProblem::Credentials:
        reason = "the server address holds a user name or password; give the user in its own field "
                 "([Sync] User) and the password in the Sync group or KESTRIVEL_SYNC_PASSWORD";
        return TSyncFailure::CredentialsInAddress;
    case TAddressProblem::None:
        break;
    }
    reason.clear();
    return TSyncFailure::None;
}

} // namespace kestrivel
