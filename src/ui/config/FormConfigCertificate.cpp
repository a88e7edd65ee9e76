// The Sync group's offer to trust a server's own certificate, shown after a sync refused it.
#include "config/FormConfig.h"

#include "base/Services.h"
#include "base/UnitMessages.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "sync/CertificateTrust.h"
#include "sync/DavUrl.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrivel {

namespace {

// Beside the status lines at the group's foot; the status keeps the room to its left.
constexpr int kTrustLeft = 258;
constexpr int kTrustTop = 160;
constexpr int kTrustWidth = 135;
constexpr int kStatusWidthBesideTrust = kTrustLeft - 8 - 6;

} // namespace

void TfrmConfig::createCertificateBlock() {
    m_btnSyncTrust = new QPushButton(QStringLiteral("Trust this certificate"), m_grpSync);
    m_btnSyncTrust->setObjectName(QStringLiteral("btnSyncTrust"));
    m_btnSyncTrust->setGeometry(kTrustLeft, kTrustTop, kTrustWidth, 23);
    m_btnSyncTrust->setAutoDefault(false);
    m_btnSyncTrust->hide();
    connect(m_btnSyncTrust, &QPushButton::clicked, this, &TfrmConfig::btnSyncTrustClick);
    // Another address is another server: a certificate shown by this one is not offered for it.
    connect(m_edtSyncServer, &QLineEdit::textEdited, this,
            [this] { SetSyncCertificate(TCertificateInfo()); });
}

void TfrmConfig::SetSyncCertificate(const TCertificateInfo& certificate) {
    m_untrusted = certificate;
    const bool offer = !NormalSha256Fingerprint(certificate.Fingerprint).empty() &&
                       m_edtSyncServer->text().trimmed().toStdString() == m_config.Sync.Server;
    m_btnSyncTrust->setVisible(offer);
    QRect status = m_lblSyncStatus->geometry();
    status.setWidth(offer ? kStatusWidthBesideTrust : m_grpSync->width() - 2 * status.left());
    m_lblSyncStatus->setGeometry(status);
}

void TfrmConfig::btnSyncTrustClick() {
    const std::string server = m_edtSyncServer->text().trimmed().toStdString();
    // The question shows all the user needs to compare: the server, the fingerprint, the subject and
    // the validity; the status line may have room for only part of it.
    const std::string shown = UrlOrigin(server) + ": " + CertificateSummary(m_untrusted);
    if (AskQuestion(m_services, this, TQuestionMessage::TrustCertificate, shown) != TMessageResult::Yes) {
        return;
    }
    if (!TrustCertificate(m_draft->Sync, m_untrusted.Fingerprint)) {
        return;
    }
    // Kept with the other settings on OK or Apply; the next sync then uses it.
    SetSyncCertificate(TCertificateInfo());
}

} // namespace kestrivel
