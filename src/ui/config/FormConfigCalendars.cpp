// The Sync group's list of the account's calendars: which to show beside the memos, and which holds
// the memos.
#include "config/FormConfig.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "base/SyncModules.h"
#include "base/ThreadsAtExit.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "sync/DavUrl.h"
#include "sync/SyncFailure.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QThread>

#include <memory>

namespace kestrivel {

namespace {

// Below the subscriptions, at the group's foot.
constexpr int kBlockTop = 276;
constexpr int kGroupInnerRight = 393;
// Shown in the status line while the server is asked.
constexpr const char* kAsking = "\u2026";

template <typename Widget> Widget* Placed(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

// What the search's thread hands back.
struct CalendarSearch {
    bool ModuleMissing = false;
    TDavStatus Status;
    std::vector<TDavCalendar> Calendars;
};

} // namespace

void TfrmConfig::createCalendarBlock() {
    QGroupBox* group = m_grpSync;
    m_btnSyncCalendars = Placed(new QPushButton(QStringLiteral("Find calendars"), group), "btnSyncCalendars",
                                QRect(8, kBlockTop, 130, 23));
    m_btnSyncCalendars->setAutoDefault(false);
    Placed(new QLabel(QStringLiteral("Memos in :"), group), "lblSyncMemoCalendar",
           QRect(144, kBlockTop + 4, 72, 14));
    m_cmbSyncMemoCalendar = Placed(new QComboBox(group), "cmbSyncMemoCalendar",
                                   QRect(218, kBlockTop + 1, kGroupInnerRight - 218, 21));
    m_lstSyncCalendars = Placed(new QListWidget(group), "lstSyncCalendars",
                                QRect(8, kBlockTop + 27, kGroupInnerRight - 8, 44));
    connect(m_btnSyncCalendars, &QPushButton::clicked, this, &TfrmConfig::btnSyncCalendarsClick);
    connect(m_lstSyncCalendars, &QListWidget::itemChanged, this, &TfrmConfig::calendarTicked);
    connect(m_cmbSyncMemoCalendar, &QComboBox::activated, this, &TfrmConfig::memoCalendarChosen);
}

TSyncSettings TfrmConfig::typedAccount() const {
    TSyncSettings account = m_draft->Sync;
    account.Server = m_edtSyncServer->text().trimmed().toStdString();
    account.User = m_edtSyncUser->text().trimmed().toStdString();
    account.Password = m_edtSyncPassword->text().toStdString();
    // Unless typed here, the password is the one the sync uses: this session's (while the account is
    // the same), else the environment's, else the secret store's, which the field shows.
    const std::string fromEnvironment = m_services.Environment(kSyncPasswordVariable).toStdString();
    const bool sameAccount =
        account.User == m_draft->Sync.User && SameOrigin(account.Server, m_draft->Sync.Server);
    if (!m_passwordEdited && sameAccount && !m_draft->Sync.Password.empty()) {
        account.Password = m_draft->Sync.Password;
    } else if (!m_passwordEdited && !fromEnvironment.empty()) {
        account.Password = fromEnvironment;
    }
    return account;
}

void TfrmConfig::btnSyncCalendarsClick() {
    const unsigned asked = ++m_calendarAsk;
    const TSyncSettings account = typedAccount();
    TSyncReport refused;
    refused.Failure = CheckSyncAddress(account, refused.Reason);
    if (!refused.ok()) {
        emit calendarsFailed(refused);
        return;
    }
    m_btnSyncCalendars->setEnabled(false);
    m_statusBeforeSearch = m_lblSyncStatus->text();
    m_lblSyncStatus->setText(QString::fromUtf8(kAsking));
    auto search = std::make_shared<CalendarSearch>();
    // The thread makes, uses and deletes its own transport, and holds nothing of the dialog: a
    // dialog gone meanwhile takes the connection below with it.
    QThread* worker =
        QThread::create([makers = m_services.SyncMakers(kSyncRequestTimeoutMs), account, search] {
            const std::unique_ptr<IDavTransport> transport = makers.Transport();
            search->ModuleMissing = transport == nullptr;
            if (transport) {
                search->Status = ListAccountCalendars(account, *transport, search->Calendars);
            }
        });
    connect(worker, &QThread::finished, this, [this, asked, account, search] {
        if (asked != m_calendarAsk) {
            return;
        }
        m_btnSyncCalendars->setEnabled(true);
        m_lblSyncStatus->setText(m_statusBeforeSearch);
        if (search->ModuleMissing || !search->Status.ok()) {
            TSyncReport report;
            if (search->ModuleMissing) {
                report.Failure = TSyncFailure::ModuleMissing;
            } else {
                DescribeDavFailure(search->Status, account, report);
            }
            emit calendarsFailed(report);
            return;
        }
        m_calendarRows = AccountCalendarRows(search->Calendars, account, m_subscriptions);
        showCalendarRows();
    });
    // Kept, not freed when done: a search still waiting when the program ends is joined first.
    KeepUntilExit(worker);
    worker->start();
}

void TfrmConfig::showCalendarRows() {
    const QSignalBlocker quietList(m_lstSyncCalendars);
    const QSignalBlocker quietChoice(m_cmbSyncMemoCalendar);
    m_lstSyncCalendars->clear();
    m_cmbSyncMemoCalendar->clear();
    const std::string memos = m_services.Messages().value("C1");
    for (size_t i = 0; i < m_calendarRows.size(); ++i) {
        const TAccountCalendarRow& row = m_calendarRows[i];
        const std::string& name = row.Calendar.Name;
        auto* item = new QListWidgetItem(TextToQString(row.Memos ? FillPlaceholders(memos, name) : name),
                                         m_lstSyncCalendars);
        item->setToolTip(QString::fromStdString(row.Calendar.Url));
        if (row.Memos) {
            item->setFlags(Qt::ItemIsEnabled);
        } else {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(row.Shown ? Qt::Checked : Qt::Unchecked);
        }
        // A calendar the user may not write to cannot hold the memos.
        if (row.Memos || !row.Calendar.ReadOnly) {
            m_cmbSyncMemoCalendar->addItem(TextToQString(name), static_cast<int>(i));
            if (row.Memos) {
                m_cmbSyncMemoCalendar->setCurrentIndex(m_cmbSyncMemoCalendar->count() - 1);
            }
        }
    }
    m_cmbSyncMemoCalendar->setEnabled(m_cmbSyncMemoCalendar->count() > 0);
    m_lstSyncCalendars->setEnabled(!m_calendarRows.empty());
}

void TfrmConfig::calendarTicked(QListWidgetItem* item) {
    const int row = m_lstSyncCalendars->row(item);
    if (row < 0 || row >= static_cast<int>(m_calendarRows.size()) || m_calendarRows[row].Memos) {
        return;
    }
    m_calendarRows[row].Shown = item->checkState() == Qt::Checked;
    m_subscriptions = ApplyCalendarTicks(m_calendarRows, typedAccount(), m_subscriptions);
    listSubscriptions();
    // A full subscription list takes no more: the tick shows what it holds.
    calendarsFollowSubscriptions();
}

void TfrmConfig::memoCalendarChosen(int index) {
    const int row = m_cmbSyncMemoCalendar->itemData(index).toInt();
    if (index < 0 || row < 0 || row >= static_cast<int>(m_calendarRows.size())) {
        return;
    }
    const std::string server = typedAccount().Server;
    const std::string chosen = ChooseMemoCalendar(m_calendarRows, static_cast<size_t>(row), server);
    if (chosen != server) {
        m_edtSyncServer->setText(QString::fromStdString(chosen));
        syncAccountEdited();
    }
    m_subscriptions = ApplyCalendarTicks(m_calendarRows, typedAccount(), m_subscriptions);
    listSubscriptions();
    showCalendarRows();
}

void TfrmConfig::calendarsFollowSubscriptions() {
    std::vector<TDavCalendar> calendars;
    for (const TAccountCalendarRow& row : m_calendarRows) {
        calendars.push_back(row.Calendar);
    }
    m_calendarRows = AccountCalendarRows(calendars, typedAccount(), m_subscriptions);
    showCalendarRows();
}

} // namespace kestrivel
