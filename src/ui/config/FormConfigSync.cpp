// The General tab's Sync group of the configuration dialog.
#include "config/FormConfig.h"

#include "base/Services.h"
#include "base/UnitMessages.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "sync/DavUrl.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace kestrivel {

namespace {

static constexpr int kSyncGroupTop = 170;
static constexpr int kLabelLeft = 8;
static constexpr int kLabelWidth = 130;
static constexpr int kFieldLeft = 142;
static constexpr int kGroupInnerRight = 393;
static constexpr int kLineWidth = kGroupInnerRight - kLabelLeft;
// Shown in the password field while the secret store has not answered.
static constexpr const char* kLoading = "\u2026";

template <typename Widget> Widget* Placed(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    return Placed(new QLabel(QString::fromLatin1(caption), parent), name, geometry);
}

// A line of its own across the group, wrapped when a language needs more room.
QLabel* Line(QWidget* parent, const char* name, const char* caption, int top, int lines) {
    QLabel* label = Label(parent, name, caption, QRect(kLabelLeft, top, kLineWidth, 14 * lines));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

void TfrmConfig::createSyncGroup() {
    QWidget* tab = m_tbsOptions;
    m_grpSync = Placed(new QGroupBox(QStringLiteral("Sync"), tab), "grpSync",
                       QRect(8, kSyncGroupTop, 401, kSyncGroupHeight));
    QGroupBox* group = m_grpSync;
    const int fieldWidth = kGroupInnerRight - kFieldLeft;
    m_lblSyncServer =
        Label(group, "lblSyncServer", "Server address :", QRect(kLabelLeft, 22, kLabelWidth, 14));
    m_edtSyncServer = Placed(new QLineEdit(group), "edtSyncServer", QRect(kFieldLeft, 18, fieldWidth, 21));
    m_lblSyncPlain =
        Line(group, "lblSyncPlain", "Not encrypted (http): the password can be read on the network.", 41, 1);
    m_lblSyncUser = Label(group, "lblSyncUser", "User name :", QRect(kLabelLeft, 62, kLabelWidth, 14));
    m_edtSyncUser = Placed(new QLineEdit(group), "edtSyncUser", QRect(kFieldLeft, 58, 80, 21));
    m_lblSyncPassword = Label(group, "lblSyncPassword", "Password :", QRect(230, 62, 76, 14));
    m_edtSyncPassword = Placed(new QLineEdit(group), "edtSyncPassword", QRect(310, 58, 83, 21));
    m_edtSyncPassword->setEchoMode(QLineEdit::Password);
    m_lblSyncInterval =
        Label(group, "lblSyncInterval", "Interval (minutes) :", QRect(kLabelLeft, 88, kLabelWidth, 14));
    m_spnSyncInterval = Placed(new QSpinBox(group), "spnSyncInterval", QRect(kFieldLeft, 84, 60, 21));
    m_spnSyncInterval->setRange(TSyncSettings::kMinInterval, TSyncSettings::kMaxInterval);
    m_spnSyncInterval->setValue(TSyncSettings::kDefaultInterval);
    m_btnSyncNow = Placed(new QPushButton(QStringLiteral("Synchronise now"), group), "btnSyncNow",
                          QRect(258, 83, 135, 23));
    m_btnSyncNow->setAutoDefault(false);
    m_lblSyncStore = Line(group, "lblSyncStore",
                          "No secret store runs: the password is kept only until Kestrivel ends (or set "
                          "KESTRIVEL_SYNC_PASSWORD).",
                          112, 2);
    m_lblSyncStatus = Line(group, "lblSyncStatus", "", 142, 3);
    m_lblSyncPlain->hide();
    m_lblSyncStore->hide();
    connect(m_btnSyncNow, &QPushButton::clicked, this, &TfrmConfig::btnSyncNowClick);
    for (QLineEdit* field : {m_edtSyncServer, m_edtSyncUser}) {
        connect(field, &QLineEdit::textEdited, this, &TfrmConfig::syncAccountEdited);
    }
    connect(m_edtSyncPassword, &QLineEdit::textEdited, this, [this] {
        m_passwordEdited = true;
        syncFieldsEdited();
    });
    connect(m_edtSyncServer, &QLineEdit::textChanged, this, [this](const QString& address) {
        m_lblSyncPlain->setVisible(IsPlainHttpToRemoteHost(address.trimmed().toStdString()));
    });
    createCertificateBlock();
    createSubscriptionBlock();
    createCalendarBlock();
}

void TfrmConfig::showSync() {
    const TSyncSettings& sync = m_draft->Sync;
    m_edtSyncServer->setText(QString::fromStdString(sync.Server));
    m_edtSyncUser->setText(QString::fromStdString(sync.User));
    m_spnSyncInterval->setValue(sync.IntervalMinutes);
    showSubscriptions();
    // Calendars found while the dialog was shown before may be another account's by now.
    ++m_calendarAsk;
    m_calendarRows.clear();
    showCalendarRows();
    m_btnSyncCalendars->setEnabled(true);
    ++m_passwordRequest;
    m_passwordEdited = false;
    // A password given in this session is used without asking the store; without a server there
    // is no account to ask about.
    m_shownPassword = sync.Password;
    m_passwordKnown = !sync.enabled() || !sync.Password.empty();
    m_passwordLoading = !m_passwordKnown;
    showPassword();
    if (m_passwordLoading) {
        const unsigned asked = m_passwordRequest;
        m_services.ReadSyncPassword(sync, this, [this, asked](const TSecretAnswer& answer) {
            // The account was edited or the dialog shown again meanwhile: another account's password.
            if (asked != m_passwordRequest) {
                return;
            }
            noteStore(answer);
            m_shownPassword = answer.Result == TSecretAnswer::Kind::Done ? answer.Secret : std::string();
            m_passwordKnown = true;
            m_passwordLoading = false;
            showPassword();
        });
    }
}

void TfrmConfig::showPassword() {
    m_edtSyncPassword->setEnabled(!m_passwordLoading);
    m_edtSyncPassword->setPlaceholderText(m_passwordLoading ? QString::fromUtf8(kLoading) : QString());
    m_edtSyncPassword->setText(QString::fromStdString(m_passwordKnown ? m_shownPassword : std::string()));
    syncFieldsEdited();
}

void TfrmConfig::noteStore(const TSecretAnswer& answer) {
    if (answer.Result == TSecretAnswer::Kind::NoStore || answer.Result == TSecretAnswer::Kind::Done) {
        m_noSecretStore = answer.Result == TSecretAnswer::Kind::NoStore;
        m_lblSyncStore->setVisible(m_noSecretStore);
    }
}

void TfrmConfig::syncAccountEdited() {
    // A password still on its way belongs to the account as it was: it is not shown for another.
    if (m_passwordLoading) {
        ++m_passwordRequest;
        m_passwordLoading = false;
        showPassword();
    }
    syncFieldsEdited();
}

bool TfrmConfig::applySync() {
    applySubscriptions();
    TSyncSettings& sync = m_draft->Sync;
    const TSyncSettings before = sync;
    sync.Server = m_edtSyncServer->text().trimmed().toStdString();
    sync.User = m_edtSyncUser->text().trimmed().toStdString();
    sync.IntervalMinutes = m_spnSyncInterval->value();
    const std::string password = m_edtSyncPassword->text().toStdString();
    const bool accountChanged = sync.Server != before.Server || sync.User != before.User;
    if (m_passwordLoading || (!m_passwordKnown && !m_passwordEdited)) {
        // Not known and not typed: the store keeps what it holds, and no account's password is
        // carried over to another.
        if (accountChanged) {
            sync.Password.clear();
        }
        return true;
    }
    if (!sync.enabled() || (!accountChanged && password == m_shownPassword)) {
        return true;
    }
    // Used from now on in this session, whatever the store makes of it; an empty one is valid.
    sync.Password = password;
    m_shownPassword = password;
    m_passwordKnown = true;
    m_passwordEdited = false;
    if (!m_noSecretStore) {
        m_services.WriteSyncPassword(sync, password, this, [this](const TSecretAnswer& answer) {
            noteStore(answer);
            if (answer.Result == TSecretAnswer::Kind::Failed) {
                ShowError(m_services, this, TErrorMessage::PasswordNotStored, answer.Error);
            }
        });
    }
    return true;
}

void TfrmConfig::syncFieldsEdited() {
    const TSyncSettings& applied = m_config.Sync;
    m_btnSyncNow->setEnabled(
        applied.enabled() && m_edtSyncServer->text().trimmed().toStdString() == applied.Server &&
        m_edtSyncUser->text().trimmed().toStdString() == applied.User &&
        (!m_passwordEdited || m_edtSyncPassword->text().toStdString() == m_shownPassword));
}

void TfrmConfig::btnSyncNowClick() {
    if (m_btnSyncNow->isEnabled()) {
        m_lblSyncStatus->setText(QString::fromUtf8(kLoading));
        emit syncRequested();
    }
}

void TfrmConfig::SetSyncStatus(const QString& line) {
    m_lblSyncStatus->setText(line);
}

} // namespace kestrivel
