// The Sync group's list of subscriptions: calendars published as .ics files, shown read-only.
#include "config/FormConfig.h"

#include "config/ConfigData.h"
#include "sync/SubscriptionFetch.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <memory>

namespace kestrivel {

namespace {

// Below the status lines, at the group's foot.
constexpr int kBlockTop = 188;
constexpr int kButtonLeft = 330;
constexpr int kButtonWidth = 63;

template <typename Widget> Widget* Placed(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QString RowText(const TSubscription& subscription) {
    return QString::fromStdString(subscription.source()) + QStringLiteral(" \u2014 ") +
           QString::fromStdString(subscription.Address);
}

} // namespace

void TfrmConfig::createSubscriptionBlock() {
    QGroupBox* group = m_grpSync;
    Placed(new QLabel(QStringLiteral("Subscriptions, shown read-only :"), group), "lblSubscriptions",
           QRect(8, kBlockTop, 320, 14));
    m_lstSubscriptions =
        Placed(new QListWidget(group), "lstSubscriptions", QRect(8, kBlockTop + 16, 318, 42));
    m_btnSubscriptionRemove =
        Placed(new QPushButton(QStringLiteral("Remove"), group), "btnSubscriptionRemove",
               QRect(kButtonLeft, kBlockTop + 16, kButtonWidth, 23));
    Placed(new QLabel(QStringLiteral("Name :"), group), "lblSubscriptionName",
           QRect(8, kBlockTop + 66, 56, 14));
    m_edtSubscriptionName =
        Placed(new QLineEdit(group), "edtSubscriptionName", QRect(66, kBlockTop + 62, 70, 21));
    Placed(new QLabel(QStringLiteral("Address :"), group), "lblSubscriptionAddress",
           QRect(140, kBlockTop + 66, 60, 14));
    m_edtSubscriptionAddress =
        Placed(new QLineEdit(group), "edtSubscriptionAddress", QRect(202, kBlockTop + 62, 124, 21));
    m_btnSubscriptionAdd = Placed(new QPushButton(QStringLiteral("Add"), group), "btnSubscriptionAdd",
                                  QRect(kButtonLeft, kBlockTop + 61, kButtonWidth, 23));
    for (QPushButton* button : {m_btnSubscriptionAdd, m_btnSubscriptionRemove}) {
        button->setAutoDefault(false);
    }
    connect(m_btnSubscriptionAdd, &QPushButton::clicked, this, &TfrmConfig::btnSubscriptionAddClick);
    connect(m_btnSubscriptionRemove, &QPushButton::clicked, this, &TfrmConfig::btnSubscriptionRemoveClick);
    connect(m_edtSubscriptionAddress, &QLineEdit::textChanged, this, &TfrmConfig::subscriptionFieldsEdited);
    connect(m_lstSubscriptions, &QListWidget::currentRowChanged, this, &TfrmConfig::subscriptionFieldsEdited);
}

void TfrmConfig::showSubscriptions() {
    m_subscriptions = m_draft->Subscriptions;
    listSubscriptions();
    m_edtSubscriptionName->clear();
    m_edtSubscriptionAddress->clear();
    subscriptionFieldsEdited();
}

void TfrmConfig::listSubscriptions() {
    m_lstSubscriptions->clear();
    for (const TSubscription& subscription : m_subscriptions) {
        m_lstSubscriptions->addItem(RowText(subscription));
    }
    subscriptionFieldsEdited();
}

void TfrmConfig::applySubscriptions() {
    m_draft->Subscriptions = m_subscriptions;
}

void TfrmConfig::subscriptionFieldsEdited() {
    m_btnSubscriptionAdd->setEnabled(
        CanAddSubscription(m_subscriptions, m_edtSubscriptionAddress->text().trimmed().toStdString()) &&
        static_cast<int>(m_subscriptions.size()) < kMaxSubscriptions);
    m_btnSubscriptionRemove->setEnabled(m_lstSubscriptions->currentRow() >= 0);
}

void TfrmConfig::btnSubscriptionAddClick() {
    const std::string address = m_edtSubscriptionAddress->text().trimmed().toStdString();
    if (!CanAddSubscription(m_subscriptions, address) ||
        static_cast<int>(m_subscriptions.size()) >= kMaxSubscriptions) {
        return;
    }
    TSyncSettings account;
    account.Server = m_edtSyncServer->text().trimmed().toStdString();
    account.User = m_edtSyncUser->text().trimmed().toStdString();
    m_subscriptions.push_back(
        NewSubscription(m_edtSubscriptionName->text().trimmed().toStdString(), address, account));
    m_lstSubscriptions->addItem(RowText(m_subscriptions.back()));
    m_edtSubscriptionName->clear();
    m_edtSubscriptionAddress->clear();
    subscriptionFieldsEdited();
    calendarsFollowSubscriptions();
}

void TfrmConfig::btnSubscriptionRemoveClick() {
    const int row = m_lstSubscriptions->currentRow();
    if (row < 0 || row >= static_cast<int>(m_subscriptions.size())) {
        return;
    }
    m_subscriptions.erase(m_subscriptions.begin() + row);
    std::unique_ptr<QListWidgetItem>(m_lstSubscriptions->takeItem(row));
    subscriptionFieldsEdited();
    calendarsFollowSubscriptions();
}

} // namespace kestrivel
