// The General tab's Sync group of the configuration dialog.
#include "config/FormConfig.h"

#include "base/Services.h"
#include "base/UnitMessages.h"
#include "config/ConfigData.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace kestrivel {

namespace {

static constexpr int kSyncGroupTop = 170;
static constexpr int kFieldLeft = 128;

template <typename Widget> Widget* Placed(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    return Placed(new QLabel(QString::fromLatin1(caption), parent), name, geometry);
}

} // namespace

void TfrmConfig::createSyncGroup() {
    QWidget* tab = m_tbsOptions;
    m_grpSync = Placed(new QGroupBox(QStringLiteral("Sync"), tab), "grpSync",
                       QRect(8, kSyncGroupTop, 401, kSyncGroupHeight));
    QGroupBox* group = m_grpSync;
    m_lblSyncServer = Label(group, "lblSyncServer", "Server address :", QRect(8, 22, 118, 14));
    m_edtSyncServer = Placed(new QLineEdit(group), "edtSyncServer", QRect(kFieldLeft, 18, 265, 21));
    m_lblSyncUser = Label(group, "lblSyncUser", "User name :", QRect(8, 46, 118, 14));
    m_edtSyncUser = Placed(new QLineEdit(group), "edtSyncUser", QRect(kFieldLeft, 42, 82, 21));
    m_lblSyncPassword = Label(group, "lblSyncPassword", "Password :", QRect(216, 46, 84, 14));
    m_edtSyncPassword = Placed(new QLineEdit(group), "edtSyncPassword", QRect(300, 42, 93, 21));
    m_edtSyncPassword->setEchoMode(QLineEdit::Password);
    m_lblSyncInterval = Label(group, "lblSyncInterval", "Interval (minutes) :", QRect(8, 70, 118, 14));
    m_spnSyncInterval = Placed(new QSpinBox(group), "spnSyncInterval", QRect(kFieldLeft, 66, 60, 21));
    m_spnSyncInterval->setRange(TSyncSettings::kMinInterval, TSyncSettings::kMaxInterval);
    m_spnSyncInterval->setValue(TSyncSettings::kDefaultInterval);
    m_btnSyncNow = Placed(new QPushButton(QStringLiteral("Synchronise now"), group), "btnSyncNow",
                          QRect(258, 65, 135, 23));
    m_btnSyncNow->setAutoDefault(false);
    connect(m_btnSyncNow, &QPushButton::clicked, this, &TfrmConfig::btnSyncNowClick);
    for (QLineEdit* field : {m_edtSyncServer, m_edtSyncUser, m_edtSyncPassword}) {
        connect(field, &QLineEdit::textEdited, this, &TfrmConfig::syncFieldsEdited);
    }
}

void TfrmConfig::showSync() {
    const TSyncSettings& sync = m_draft->Sync;
    m_edtSyncServer->setText(QString::fromStdString(sync.Server));
    m_edtSyncUser->setText(QString::fromStdString(sync.User));
    m_spnSyncInterval->setValue(sync.IntervalMinutes);
    m_shownPassword.clear();
    std::string error;
    // Without a server there is no account to ask the store about.
    if (sync.enabled() && !m_services.ReadSyncPassword(sync, m_shownPassword, error)) {
        m_shownPassword.clear();
    }
    m_edtSyncPassword->setText(QString::fromStdString(m_shownPassword));
    syncFieldsEdited();
}

bool TfrmConfig::applySync() {
    TSyncSettings& sync = m_draft->Sync;
    const TSyncSettings before = sync;
    sync.Server = m_edtSyncServer->text().trimmed().toStdString();
    sync.User = m_edtSyncUser->text().trimmed().toStdString();
    sync.IntervalMinutes = m_spnSyncInterval->value();
    const std::string password = m_edtSyncPassword->text().toStdString();
    const bool accountChanged = sync.Server != before.Server || sync.User != before.User;
    if (sync.enabled() && (accountChanged || password != m_shownPassword)) {
        std::string error;
        if (!m_services.WriteSyncPassword(sync, password, error)) {
            sync = before;
            ShowLibraryError(m_services, this, error);
            return false;
        }
        m_shownPassword = password;
    }
    return true;
}

void TfrmConfig::syncFieldsEdited() {
    const TSyncSettings& applied = m_config.Sync;
    m_btnSyncNow->setEnabled(applied.enabled() &&
                             m_edtSyncServer->text().trimmed().toStdString() == applied.Server &&
                             m_edtSyncUser->text().trimmed().toStdString() == applied.User &&
                             m_edtSyncPassword->text().toStdString() == m_shownPassword);
}

void TfrmConfig::btnSyncNowClick() {
    if (m_btnSyncNow->isEnabled()) {
        emit syncRequested();
    }
}

} // namespace kestrivel
