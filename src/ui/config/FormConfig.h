#pragma once

#include "base/SecretStore.h"
#include "common/NameValueList.h"
#include "config/SubscriptionSettings.h"
#include "config/ConfigCopy.h"
#include "sync/AccountCalendars.h"
#include "sync/SyncEngine.h"
#include "update/HttpClient.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace kestrivel {

struct TMemoOperation;

class MemosTab;
class TConfigData;
class TfrmMemo;
class TSchemeEditor;
class TServices;
struct TLocaleFormats;

// The configuration dialog: the General, Display, Memos and About tabs and Ok, Cancel, Apply. It is
// created once at start, shown modally any number of times and hidden when it closes. The shared
// data it works on belongs to TConfigData; it changes that data and says so (alwaysOnTopChanged,
// applied), and the program brings the calendar up to date. The dialog owns the list of language
// files.
class TfrmConfig : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 441;
    // The General tab holds the Sync group below the options, its subscriptions at its foot.
    static constexpr int kSyncGroupHeight = 352;
    static constexpr int kClientHeight = 249 + kSyncGroupHeight;
    // The version the About tab shows.

    // The data is loaded already (TConfigData::Load); creation only sets up the controls. The value
    // names belong to the translator; the dialog opens centred on the screen nearest `anchor`.
    TfrmConfig(TConfigData& config, TServices& services, TNameValueList& valueNames, TfrmMemo& memoEditor,
               const TLocaleFormats& formats, const QWidget* anchor = nullptr, QWidget* parent = nullptr);
    ~TfrmConfig() override;

    // The 28 value names (memo types, style rows and choices); translation changes their values.
    TNameValueList& ValueNames() { return m_valueNames; }
    // The file names (no folder) of the languages listed in cmbLanguages, at the same positions.
    const std::vector<std::string>& LanguageFiles() const { return m_languageFiles; }

    // Shows the dialog modally; QDialog::Accepted after "Ok".
    int ShowModal();

    // Handlers, public so the calendar window and the tests run them as the user would.
    // Each showing: the lists, the memos, the options into the controls, the Display tab.
    void FormShow();
    // Fills cmbLanguages and LanguageFiles from the "*.lang" files of the program folder.
    void ListLanguagePacks();
    // The eleven apply steps; false (after showing the error) when a step stopped the rest.
    bool btnApplyClick();
    // Apply, then close with OK; stays open when Apply stopped.
    void btnOkClick();
    void btnCancelClick();
    // Every close (Ok, Cancel, the close box): the options into Settings.ini once an Apply took them.
    void FormClose();
    // Opens the address the label shows (web addresses only).
    void lblWebsiteClick();
    // Asks for a sync with the settings applied; offered while the Sync group shows them.
    void btnSyncNowClick();
    // The line about the last sync (SyncStatusText), shown in the Sync group.
    void SetSyncStatus(const QString& line);
    // The certificate the last sync did not trust (an empty fingerprint when it trusted the server):
    // the Sync group offers to trust it for the server shown.
    void SetSyncCertificate(const TCertificateInfo& certificate);

    QTabWidget* pgcConfig() const { return m_pages; }
    QWidget* tbsOptions() const { return m_tbsOptions; }
    QWidget* tbsDisplay() const { return m_tbsDisplay; }
    QWidget* tbsMemos() const { return m_tbsMemos; }
    QWidget* tbsAbout() const { return m_tbsAbout; }
    QCheckBox* chkAutorun() const { return m_chkAutorun; }
    QCheckBox* chkAutoUpdate() const { return m_chkAutoUpdate; }
    QCheckBox* chkAlwaysOnTop() const { return m_chkAlwaysOnTop; }
    QCheckBox* chkWeekdays() const { return m_chkWeekdays; }
    QCheckBox* chkWeekNumbers() const { return m_chkWeekNumbers; }
    QCheckBox* chkTodaysMemo() const { return m_chkTodaysMemo; }
    QCheckBox* chkRemind() const { return m_chkRemind; }
    QComboBox* cmbWeekStart() const { return m_cmbWeekStart; }
    QComboBox* cmbDateFormat() const { return m_cmbDateFormat; }
    QComboBox* cmbLanguages() const { return m_cmbLanguages; }
    QLabel* lblVersion() const { return m_lblVersion; }
    QLabel* lblWebsite() const { return m_lblWebsite; }
    QLabel* imgIcon() const { return m_imgIcon; }
    QPushButton* btnOk() const { return m_btnOk; }
    QPushButton* btnCancel() const { return m_btnCancel; }
    QPushButton* btnApply() const { return m_btnApply; }
    QLineEdit* edtSyncServer() const { return m_edtSyncServer; }
    QLineEdit* edtSyncUser() const { return m_edtSyncUser; }
    QLineEdit* edtSyncPassword() const { return m_edtSyncPassword; }
    QSpinBox* spnSyncInterval() const { return m_spnSyncInterval; }
    QPushButton* btnSyncNow() const { return m_btnSyncNow; }
    QLabel* lblSyncPlain() const { return m_lblSyncPlain; }
    QLabel* lblSyncStore() const { return m_lblSyncStore; }
    QLabel* lblSyncStatus() const { return m_lblSyncStatus; }
    QPushButton* btnSyncTrust() const { return m_btnSyncTrust; }
    QListWidget* lstSubscriptions() const { return m_lstSubscriptions; }
    QLineEdit* edtSubscriptionName() const { return m_edtSubscriptionName; }
    QLineEdit* edtSubscriptionAddress() const { return m_edtSubscriptionAddress; }
    QPushButton* btnSubscriptionAdd() const { return m_btnSubscriptionAdd; }
    QPushButton* btnSubscriptionRemove() const { return m_btnSubscriptionRemove; }
    QPushButton* btnSyncCalendars() const { return m_btnSyncCalendars; }
    QListWidget* lstSyncCalendars() const { return m_lstSyncCalendars; }
    QComboBox* cmbSyncMemoCalendar() const { return m_cmbSyncMemoCalendar; }
    TSchemeEditor* SchemeEditor() const { return m_schemeEditor; }
    // What the tabs change until Ok or Apply hands it to the shared data.
    TConfigData& Draft() const { return *m_draft; }
    MemosTab* Memos() const { return m_memosTab; }

public slots:
    // Every way the dialog closes passes here.
    void done(int result) override;

signals:
    // Apply, before the options take the new state: the stay-on-top box differs from the option.
    void alwaysOnTopChanged(bool on);
    // Apply changed the options, the schemes and the memos: the chosen language and the calendar
    // are to be brought up to date.
    void applied();
    // "Synchronise now": a sync with the settings applied.
    void syncRequested();
    // "Find calendars" failed: the report says why, as a sync's would.
    void calendarsFailed(const kestrivel::TSyncReport& report);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void createGeneralTab();
    void createAboutTab();
    void createSyncGroup();
    // The subscriptions at the Sync group's foot: a list to remove from, a name and an address to add.
    void createSubscriptionBlock();
    // The list from the draft, and back into it on Apply.
    void showSubscriptions();
    void applySubscriptions();
    // Add takes an address the list can take (CanAddSubscription); Remove a selected row.
    void subscriptionFieldsEdited();
    void btnSubscriptionAddClick();
    void btnSubscriptionRemoveClick();
    // Refills the list from the dialog's subscriptions.
    void listSubscriptions();
    // The account's calendars at the group's foot: found off this thread, ticked to show, one chosen
    // to hold the memos. Ticks and the choice change the dialog's subscriptions and server address.
    void createCalendarBlock();
    void btnSyncCalendarsClick();
    void showCalendarRows();
    void calendarTicked(QListWidgetItem* item);
    void memoCalendarChosen(int index);
    // Rows shown again from the subscriptions, which the user changed by hand.
    void calendarsFollowSubscriptions();
    // The account as the fields show it.
    TSyncSettings typedAccount() const;
    void createCertificateBlock();
    void btnSyncTrustClick();
    // The Sync group from the draft; the password from this session, or asked of the secret store,
    // the field waiting (disabled) until the store answers.
    void showSync();
    void showPassword();
    // What an answer says of the store: the line that no store runs.
    void noteStore(const TSecretAnswer& answer);
    // Server or user edited: a password still on its way is for another account.
    void syncAccountEdited();
    // The Sync group into the draft. A password typed or moved to another account is used in this
    // session and handed to the secret store, which answers later (a refusal is then told); server,
    // user and interval are applied whatever the store says.
    bool applySync();
    // The group shows what was applied, with a server: "Synchronise now" can use it.
    void syncFieldsEdited();
    // Apply's saves of Schemes.dat and Memos.dat; false after telling which file could not be written.
    // `selectedIndex`: the editor's scheme in the data owner's list.
    bool saveApplied(int selectedIndex, const std::vector<TMemoOperation>& memoChanges);
    // The six check boxes with their options, in the order the options are listed.
    std::vector<std::pair<QCheckBox*, bool*>> checkBoxOptions() const;

    TConfigData& m_config;
    // The copy the tabs and controls change; Ok and Apply hand it to m_config.
    std::unique_ptr<TConfigData> m_draft;
    // What m_config held when the draft was copied from it.
    TEditedBase m_base;
    bool m_applied = false; // since the dialog was shown
    TServices& m_services;
    TNameValueList& m_valueNames;
    TfrmMemo& m_memoEditor;
    const TLocaleFormats& m_formats;
    const QWidget* m_anchor;
    std::vector<std::string> m_languageFiles;
    // The password as the store or this session gave it when the dialog was shown.
    std::string m_shownPassword;
    bool m_passwordKnown = false;   // m_shownPassword is the account's
    bool m_passwordLoading = false; // the store has not answered yet
    bool m_passwordEdited = false;  // typed in since
    bool m_noSecretStore = false;
    // Counts the store's questions: an answer to an older one is dropped.
    unsigned m_passwordRequest = 0;

    QTabWidget* m_pages = nullptr;
    QWidget* m_tbsOptions = nullptr;
    QWidget* m_tbsDisplay = nullptr;
    QWidget* m_tbsMemos = nullptr;
    QWidget* m_tbsAbout = nullptr;
    QCheckBox* m_chkAutorun = nullptr;
    QCheckBox* m_chkAutoUpdate = nullptr;
    QCheckBox* m_chkAlwaysOnTop = nullptr;
    QCheckBox* m_chkWeekdays = nullptr;
    QCheckBox* m_chkWeekNumbers = nullptr;
    QCheckBox* m_chkTodaysMemo = nullptr;
    QCheckBox* m_chkRemind = nullptr;
    QLabel* m_lblWeekStart = nullptr;
    QComboBox* m_cmbWeekStart = nullptr;
    QLabel* m_lblDateFormat = nullptr;
    QComboBox* m_cmbDateFormat = nullptr;
    QLabel* m_lblLanguage = nullptr;
    QComboBox* m_cmbLanguages = nullptr;
    QFrame* m_pnlIcon = nullptr;
    QLabel* m_imgIcon = nullptr;
    QLabel* m_lblName = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblWebsite = nullptr;
    QLabel* m_lblCopyright = nullptr;
    QGroupBox* m_grpSync = nullptr;
    QLabel* m_lblSyncServer = nullptr;
    QLineEdit* m_edtSyncServer = nullptr;
    QLabel* m_lblSyncUser = nullptr;
    QLineEdit* m_edtSyncUser = nullptr;
    QLabel* m_lblSyncPassword = nullptr;
    QLineEdit* m_edtSyncPassword = nullptr;
    QLabel* m_lblSyncInterval = nullptr;
    QSpinBox* m_spnSyncInterval = nullptr;
    QPushButton* m_btnSyncNow = nullptr;
    QLabel* m_lblSyncPlain = nullptr;
    QLabel* m_lblSyncStore = nullptr;
    QLabel* m_lblSyncStatus = nullptr;
    QPushButton* m_btnSyncTrust = nullptr;
    TCertificateInfo m_untrusted;
    QListWidget* m_lstSubscriptions = nullptr;
    QLineEdit* m_edtSubscriptionName = nullptr;
    QLineEdit* m_edtSubscriptionAddress = nullptr;
    QPushButton* m_btnSubscriptionAdd = nullptr;
    QPushButton* m_btnSubscriptionRemove = nullptr;
    std::vector<TSubscription> m_subscriptions;
    QPushButton* m_btnSyncCalendars = nullptr;
    QListWidget* m_lstSyncCalendars = nullptr;
    QComboBox* m_cmbSyncMemoCalendar = nullptr;
    std::vector<TAccountCalendarRow> m_calendarRows;
    // Counts the searches: the answer of an older one, or one for a dialog shown again, is dropped.
    unsigned m_calendarAsk = 0;
    QString m_statusBeforeSearch;
    QPushButton* m_btnOk = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnApply = nullptr;
    TSchemeEditor* m_schemeEditor = nullptr;
    MemosTab* m_memosTab = nullptr;
};

} // namespace kestrivel
