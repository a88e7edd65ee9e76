#include "config/FormConfig.h"
#include "config/AboutPicture.h"
#include "FakeServices.h"
#include "base/QtPlatform.h"
#include "common/DateFormat.h"
#include "common/Version.h"
#include "config/ConfigData.h"
#include "lang/LangSource.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "lang/Translation.h"
#include "base/SecretStore.h"
#include "base/ThreadsAtExit.h"
#include "base/UnitMessages.h"
#include "base/Translator.h"
#include "memos/FormMemo.h"
#include "memos/MemosTab.h"
#include "schemes/SchemeEditor.h"
#include "sync/DavTransport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSemaphore>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <fstream>
#include <memory>

using namespace kestrivel;

namespace {

// An account of three calendars in one answer to every request: the principal /anna/ is its own
// calendar home, which holds the calendars.
// Answers nothing until the gate opens, then a little later: a search that is not waited for ends
// after its check.
class HeldTransport : public IDavTransport {
public:
    HeldTransport(std::shared_ptr<QSemaphore> gate, std::shared_ptr<std::atomic<int>> ended)
        : m_gate(std::move(gate)), m_ended(std::move(ended)) {}
    THttpResult Send(const THttpRequest&) override {
        m_gate->acquire();
        QThread::msleep(50);
        ++*m_ended;
        return {};
    }

private:
    std::shared_ptr<QSemaphore> m_gate;
    std::shared_ptr<std::atomic<int>> m_ended;
};

class ThreeCalendars : public IDavTransport {
public:
    THttpResult Send(const THttpRequest& request) override {
        for (const auto& [name, value] : request.Headers) {
            if (name == "Authorization" && value != "Basic YW5uYTpzZWNyZXQ=") { // anna:secret
                return {true, "", 401, "", "", "", false};
            }
        }
        std::string body =
            "<multistatus xmlns='DAV:' xmlns:c='urn:ietf:params:xml:ns:caldav'><response><href>/anna/"
            "</href><propstat><prop><current-user-principal><href>/anna/</href></current-user-"
            "principal><c:calendar-home-set><href>/anna/</href></c:calendar-home-set></prop>"
            "</propstat></response>";
        for (const char* name : {"Memos", "Family", "Work"}) {
            body += "<response><href>/anna/" + QString::fromLatin1(name).toLower().toStdString() +
                    "/</href><propstat><prop><resourcetype><collection/><c:calendar/></resourcetype>"
                    "<displayname>" +
                    name + "</displayname></prop></propstat></response>";
        }
        return {true, body + "</multistatus>", 207, "", "", "", false};
    }
};

} // namespace

class TestFormConfig : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    TNameValueList valueNames;
    std::unique_ptr<TfrmMemo> memoEditor;
    std::unique_ptr<TfrmConfig> dlg;

    void Make(const QString& folder) {
        cleanup();
        config = std::make_unique<TConfigData>(folder.toStdString());
        valueNames = BuiltInValueNames();
        memoEditor = std::make_unique<TfrmMemo>(*services);
        dlg = std::make_unique<TfrmConfig>(*config, *services, valueNames, *memoEditor, formats);
    }
    // Into the shared data, or with `shown` into what the open dialog edits.
    void AddMemos(int count, bool shown = false) {
        TMemoList& memos = shown ? dlg->Draft().Memos : config->Memos;
        for (int i = 1; i <= count; ++i) {
            TDateValue date = 0;
            TryEncodeDate(2020, 3, i, date);
            memos.Add("m" + std::to_string(i), 0, date);
        }
    }
    void WriteLang(const QString& name, const std::string& source) {
        std::string bytes;
        TLangSourceError error;
        QVERIFY(CompileLangSource(source, bytes, error));
        std::ofstream(dir->filePath(name).toStdString(), std::ios::binary) << bytes;
    }
    // The memos the open dialog shows.
    std::vector<std::string> MemoTexts() const {
        std::vector<std::string> texts;
        for (const TMemo& memo : dlg->Draft().Memos.Items()) {
            texts.push_back(memo.Text);
        }
        return texts;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        services = std::make_unique<FakeServices>();
        Make(dir->path());
    }
    void cleanup() {
        dlg.reset();
        memoEditor.reset();
    }

    void windowAsDesigned() {
        QCOMPARE(dlg->objectName(), QStringLiteral("frmConfig"));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Kestrivel"));
        QVERIFY(dlg->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(dlg->size(), QSize(441, 601)); // the General tab ends with the Sync group
        QCOMPARE(dlg->pgcConfig()->currentWidget(), dlg->tbsOptions());
        QVERIFY(dlg->btnOk()->isDefault());
        QCOMPARE(dlg->lblVersion()->text(), QString::fromLatin1(kVersionText));
        QCOMPARE(dlg->imgIcon()->pixmap().size(), QSize(77, 77)); // the progressive JPEG decoded
        QCOMPARE(dlg->ValueNames().count(), size_t(28));
    }

    void aboutPictureDecoding_data() {
        QFile file(QStringLiteral(":/about.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray picture = file.readAll();
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("shipped") << picture << QSize(77, 77);
        QTest::newRow("not a picture") << QByteArray("\xFF\xD8\xFF\xE0 not a picture") << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
        // Cut inside the frame header: libjpeg gives up from deep inside its reader.
        QTest::newRow("cut short") << picture.left(160) << QSize();
    }
    void aboutPictureDecoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const QImage image = DecodeJpeg(bytes);
        QCOMPARE(image.isNull(), size.isEmpty());
        if (!image.isNull()) {
            QCOMPARE(image.size(), size);
        }
    }

    // The dialog says what changed; it switches stay-on-top only when the box differs from the option.
    void applySaysWhatChanged() {
        QSignalSpy onTop(dlg.get(), &TfrmConfig::alwaysOnTopChanged);
        QSignalSpy applied(dlg.get(), &TfrmConfig::applied);
        dlg->show();
        dlg->chkAlwaysOnTop()->setChecked(true);
        QTest::mouseClick(dlg->btnApply(), Qt::LeftButton);
        QCOMPARE(onTop.size(), 1);
        QCOMPARE(onTop[0][0].toBool(), true);
        QVERIFY(config->Options.AlwaysOnTop);
        QTest::mouseClick(dlg->btnApply(), Qt::LeftButton);
        QCOMPARE(onTop.size(), 1);
        QCOMPARE(applied.size(), 2);
        QCOMPARE(services->FakeAuto().Calls, (std::vector<bool>{true, true}));
    }

    // Whatever the tabs changed, Cancel leaves the shared data and every file as they were; an
    // Apply before it stands, its options written by the Apply itself.
    void cancelLeavesEverythingAsItWas_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("applyFirst");
        for (const char* change : {"option", "remove memos", "pick scheme"}) {
            QTest::newRow(change) << change << false;
        }
        QTest::newRow("option, applied") << "option" << true;
    }
    void cancelLeavesEverythingAsItWas() {
        QFETCH(QString, change);
        QFETCH(bool, applyFirst);
        const QString data = QStringLiteral(KESTRIVEL_TEST_DATA);
        QVERIFY(QFile::copy(data + "/SchemesThree.dat", dir->filePath("Schemes.dat")));
        QVERIFY(QFile::copy(data + "/MemosTwo.dat", dir->filePath("Memos.dat")));
        config->Load();
        dlg->show();
        if (applyFirst) {
            QVERIFY(dlg->btnApplyClick());
        }
        const std::string scheme = config->CurrentScheme.Name;
        const int memos = config->Memos.Count();
        const auto bytes = [this](const char* name) {
            QFile file(dir->filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
        };
        const QByteArray before[] = {bytes("Schemes.dat"), bytes("Memos.dat"), bytes("Settings.ini")};
        if (change == "option") {
            dlg->chkAutoUpdate()->setChecked(false);
        } else if (change == "remove memos") {
            dlg->Memos()->SelectRows(1, memos);
            dlg->Memos()->btnRemoveMemoClick();
            QCOMPARE(dlg->Draft().Memos.Count(), 0);
        } else {
            auto* list = dlg->SchemeEditor()->findChild<QComboBox*>(QStringLiteral("cmbSchemes"));
            list->setCurrentIndex(list->count() - 1);
            dlg->SchemeEditor()->cmbSchemesSelect();
            QVERIFY(dlg->Draft().CurrentScheme.Name != scheme);
        }
        QTest::mouseClick(dlg->btnCancel(), Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
        QVERIFY(config->Options.AutoUpdate);
        QCOMPARE(config->Memos.Count(), memos);
        QCOMPARE(config->CurrentScheme.Name, scheme);
        QCOMPARE(bytes("Schemes.dat"), before[0]);
        QCOMPARE(bytes("Memos.dat"), before[1]);
        QCOMPARE(bytes("Settings.ini").contains("AutoUpdate=1"), applyFirst);
        QCOMPARE(bytes("Settings.ini"), before[2]);
    }

    // The Sync group edits the draft: Cancel writes nothing; Apply writes section Sync whatever the
    // secret store makes of the password, which is used in this session and kept in the store only.
    // Without a store the group says so; a store that refuses is named in a box. No password is a
    // valid setting.
    void syncGroupRoundTrip_data() {
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("password");
        const char* const rows[][4] = {{"cancel", "cancel", "runs", "s3cret"},
                                       {"apply", "apply", "runs", "s3cret"},
                                       {"no password", "apply", "runs", ""},
                                       {"store refuses", "apply", "refuses", "s3cret"},
                                       {"no store", "apply", "none", "s3cret"}};
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
        }
    }
    // Subscriptions are added and removed in the Sync group, and reach Settings.ini only with Apply.
    void subscriptionsAddedAndRemoved_data() {
        QTest::addColumn<QString>("close");
        QTest::newRow("applied") << "apply";
        QTest::newRow("cancelled") << "cancel";
    }
    void subscriptionsAddedAndRemoved() {
        QFETCH(QString, close);
        dlg->show();
        QVERIFY(!dlg->btnSubscriptionAdd()->isEnabled());
        QVERIFY(!dlg->btnSubscriptionRemove()->isEnabled());
        const auto add = [this](const QString& name, const QString& address) {
            QTest::keyClicks(dlg->edtSubscriptionName(), name);
            QTest::keyClicks(dlg->edtSubscriptionAddress(), address);
            const bool can = dlg->btnSubscriptionAdd()->isEnabled();
            QTest::mouseClick(dlg->btnSubscriptionAdd(), Qt::LeftButton);
            dlg->edtSubscriptionName()->clear();
            dlg->edtSubscriptionAddress()->clear();
            return can;
        };
        QVERIFY(add("Holidays", "webcal://127.0.0.1:8080/h.ics"));
        QVERIFY(!add("Again", "https://127.0.0.1:8080/h.ics")); // the same feed
        QVERIFY(!add("Nowhere", "ftp://127.0.0.1/h.ics"));
        QVERIFY(add("Team", "http://127.0.0.1:8080/team.ics"));
        QCOMPARE(dlg->lstSubscriptions()->count(), 2);
        dlg->lstSubscriptions()->setCurrentRow(0);
        QTest::mouseClick(dlg->btnSubscriptionRemove(), Qt::LeftButton);
        QTest::mouseClick(close == "apply" ? dlg->btnApply() : dlg->btnCancel(), Qt::LeftButton);
        const std::vector<TSubscription> saved = LoadSubscriptions(config->SettingsPath());
        QCOMPARE(saved.size(), size_t(close == "apply" ? 1 : 0));
        QVERIFY(saved.empty() ||
                (saved[0].Name == "Team" && saved[0].Address == "http://127.0.0.1:8080/team.ics"));
    }

    // "Find calendars" lists the account's calendars, the memo calendar marked and not tickable; a
    // tick adds a subscription of the account, another memo calendar becomes the server address, and
    // Apply writes both.
    // A search still asking when its dialog closes is joined before the program ends.
    void aSearchOfAClosedDialogEndsBeforeTheProgram() {
        auto gate = std::make_shared<QSemaphore>();
        auto ended = std::make_shared<std::atomic<int>>(0);
        services->MakeTransport = [gate, ended] { return std::make_unique<HeldTransport>(gate, ended); };
        services->Variables[kSyncPasswordVariable] = "secret";
        dlg->show();
        QTest::keyClicks(dlg->edtSyncServer(), QStringLiteral("http://127.0.0.1:9/"));
        QTest::keyClicks(dlg->edtSyncUser(), QStringLiteral("anna"));
        QTest::mouseClick(dlg->btnSyncCalendars(), Qt::LeftButton);
        dlg.reset();
        QCOMPARE(ended->load(), 0);
        gate->release(100);
        JoinThreadsAtExit();
        QVERIFY(ended->load() > 0);
    }
    void accountCalendarsTickedAndChosen_data() {
        QTest::addColumn<int>("tick");      // the row ticked, -1 none
        QTest::addColumn<int>("memoMoves"); // rows down the memo calendar moves in its list
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("subscriptions");
        QTest::newRow("family ticked") << 1 << 0 << "http://127.0.0.1:9/"
                                       << "Family http://127.0.0.1:9/anna/family/ anna; ";
        QTest::newRow("memos moved to work") << -1 << 2 << "http://127.0.0.1:9/anna/work/"
                                             << "";
        QTest::newRow("family ticked, then holding the memos") << 1 << 1 << "http://127.0.0.1:9/anna/family/"
                                                               << "";
    }
    void accountCalendarsTickedAndChosen() {
        QFETCH(int, tick);
        QFETCH(int, memoMoves);
        QFETCH(QString, server);
        QFETCH(QString, subscriptions);
        services->MakeTransport = [] { return std::make_unique<ThreeCalendars>(); };
        // The sync's password where no secret store runs.
        services->Variables[kSyncPasswordVariable] = "secret";
        dlg->show();
        QTest::keyClicks(dlg->edtSyncServer(), QStringLiteral("http://127.0.0.1:9/"));
        QTest::keyClicks(dlg->edtSyncUser(), QStringLiteral("anna"));
        QTest::mouseClick(dlg->btnSyncCalendars(), Qt::LeftButton);
        QListWidget* list = dlg->lstSyncCalendars();
        QTRY_COMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Memos: Memos"));
        QVERIFY(!list->item(0)->flags().testFlag(Qt::ItemIsUserCheckable));
        QCOMPARE(list->item(1)->text(), QStringLiteral("Family"));
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(dlg->cmbSyncMemoCalendar()->currentText(), QStringLiteral("Memos"));
        if (tick >= 0) {
            list->item(tick)->setCheckState(Qt::Checked);
            QCOMPARE(dlg->lstSubscriptions()->count(), 1);
        }
        for (int i = 0; i < memoMoves; ++i) {
            QTest::keyClick(dlg->cmbSyncMemoCalendar(), Qt::Key_Down);
        }
        QCOMPARE(dlg->edtSyncServer()->text(), server);
        if (memoMoves > 0) {
            QCOMPARE(list->item(memoMoves)->text(), "Memos: " + dlg->cmbSyncMemoCalendar()->currentText());
            QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        }
        QTest::mouseClick(dlg->btnApply(), Qt::LeftButton);
        TSyncSettings written;
        LoadSyncSettings(config->SettingsPath(), written);
        QCOMPARE(QString::fromStdString(written.Server), server);
        std::string saved;
        for (const TSubscription& s : LoadSubscriptions(config->SettingsPath())) {
            saved += s.Name + " " + s.Address + " " + s.User + "; ";
        }
        QCOMPARE(QString::fromStdString(saved), subscriptions);
    }

    void syncGroupRoundTrip() {
        QFETCH(QString, close);
        QFETCH(QString, store);
        QFETCH(QString, password);
        services->StoreError = store == "refuses" ? "The keyring is locked" : "";
        services->NoStore = store == "none";
        QSignalSpy syncNow(dlg.get(), &TfrmConfig::syncRequested);
        dlg->show();
        QCOMPARE(dlg->spnSyncInterval()->value(), 15);
        QVERIFY(!dlg->btnSyncNow()->isEnabled());
        QTest::keyClicks(dlg->edtSyncServer(), QStringLiteral("http://127.0.0.1:5232/anna/memos/"));
        QTest::keyClicks(dlg->edtSyncUser(), QStringLiteral("anna"));
        QTest::keyClicks(dlg->edtSyncPassword(), password);
        dlg->spnSyncInterval()->setValue(1441);
        QCOMPARE(dlg->edtSyncPassword()->echoMode(), QLineEdit::Password);
        QTest::mouseClick(close == "cancel" ? dlg->btnCancel() : dlg->btnApply(), Qt::LeftButton);

        const bool saved = close == "apply";
        const bool kept = saved && store == "runs" && !password.isEmpty();
        QTRY_COMPARE(dlg->lblSyncStore()->isVisibleTo(dlg.get()), store == "none" && saved);
        QFile file(dir->filePath("Settings.ini"));
        const QByteArray ini = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        TSyncSettings written;
        LoadSyncSettings(config->SettingsPath(), written);
        QCOMPARE(written.Server, saved ? "http://127.0.0.1:5232/anna/memos/" : "");
        QCOMPARE(written.IntervalMinutes, saved ? 1440 : 15);
        QCOMPARE(config->Sync.User, saved ? "anna" : "");
        QCOMPARE(config->Sync.Password, saved ? password.toStdString() : "");
        QVERIFY(!ini.contains("s3cret"));
        QTRY_COMPARE(services->Secrets.size(), size_t(kept));
        QVERIFY(!kept || services->Secrets[SyncPasswordKey("anna", written.Server)] == "s3cret");
        QTRY_COMPARE(services->Boxes.size(), size_t(store == "refuses" && saved));
        QVERIFY(services->Boxes.empty() ||
                services->Boxes[0].Text ==
                    "The password could not be kept in the secret store (The keyring is "
                    "locked). It is used until Kestrivel ends.");
        // "Synchronise now" uses what was applied; an edit since then has to be applied first.
        QCOMPARE(dlg->btnSyncNow()->isEnabled(), saved);
        dlg->btnSyncNowClick();
        QTest::keyClick(dlg->edtSyncUser(), Qt::Key_X);
        dlg->btnSyncNowClick();
        QCOMPARE(syncNow.size(), int(saved));
    }

    // The store answers half a second late. Meanwhile a sync brings a memo, which the data owner
    // takes in, and the user moves the account to another server and adds a memo: Ok keeps both
    // memos, and the first account's password, when it comes, reaches neither the field nor the
    // new account.
    void aLateStoreAndASyncMeanwhileLoseNothing() {
        const std::string serverA = "http://127.0.0.1:5232/a/", serverB = "http://127.0.0.1:5232/b/";
        config->Sync = {serverA, "anna", "", 15};
        services->Secrets[SyncPasswordKey("anna", serverA)] = "for-a";
        services->StoreDelayMs = 500;
        AddMemos(2);
        QVERIFY(config->SaveMemos());
        dlg->show();
        QVERIFY(!dlg->edtSyncPassword()->isEnabled());
        TConfigData sync(dir->path().toStdString()); // a sync ends, the calendar takes its memo in
        sync.Load();
        QVERIFY(sync.Memos.Add("from the server", 0, 43'900) && sync.SaveMemos() && config->RefreshMemos());
        QVERIFY(dlg->Draft().Memos.Add("typed here", 0, 43'950));
        dlg->edtSyncServer()->selectAll();
        QTest::keyClicks(dlg->edtSyncServer(), QString::fromStdString(serverB));
        QTRY_COMPARE(services->StoreAnswers, 1);
        QVERIFY(dlg->edtSyncPassword()->isEnabled() && dlg->edtSyncPassword()->text().isEmpty());
        QTest::mouseClick(dlg->btnOk(), Qt::LeftButton);

        TConfigData later(dir->path().toStdString());
        later.Load();
        for (const TConfigData* data : {config.get(), &later}) {
            std::vector<std::string> texts;
            for (const TMemo& memo : data->Memos.Items()) {
                texts.push_back(memo.Text);
            }
            QCOMPARE(texts, (std::vector<std::string>{"m1", "m2", "from the server", "typed here"}));
        }
        QVERIFY(config->Sync.Server == serverB && config->Sync.Password.empty());
        QCOMPARE(services->Secrets,
                 (std::map<std::string, std::string>{{SyncPasswordKey("anna", serverA), "for-a"}}));
    }

    // A certificate the last sync refused is offered for trust; the question shows its fingerprint,
    // and only Yes keeps it, for that server's origin, in Settings.ini with OK. An edited address is
    // another server: the offer goes.
    void aRefusedCertificateIsTrustedOnYes_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("editAddress");
        QTest::addColumn<QString>("kept");
        const QString fingerprint = QString("AB:").repeated(31) + "CD";
        QTest::newRow("yes") << int(TMessageResult::Yes) << false
                             << "https://cal.example.org:8443 " + fingerprint;
        QTest::newRow("no") << int(TMessageResult::No) << false << QString();
        QTest::newRow("address edited") << int(TMessageResult::Yes) << true << QString();
    }
    void aRefusedCertificateIsTrustedOnYes() {
        QFETCH(int, answer);
        QFETCH(bool, editAddress);
        QFETCH(QString, kept);
        config->Sync = {"https://cal.example.org:8443/anna/cal/", "anna", "pw", 15};
        dlg->show();
        TCertificateInfo shown;
        shown.Fingerprint = (QString("ab").repeated(31) + "cd").toStdString();
        shown.Subject = "CN=cal.example.org";
        dlg->SetSyncCertificate(shown);
        QVERIFY(dlg->btnSyncTrust()->isVisibleTo(dlg.get()));
        if (editAddress) {
            QTest::keyClicks(dlg->edtSyncServer(), QStringLiteral("x"));
            QVERIFY(!dlg->btnSyncTrust()->isVisibleTo(dlg.get()));
            dlg->edtSyncServer()->setText(QString::fromStdString(config->Sync.Server));
        } else {
            services->Answers.push_back(answer);
            QTest::mouseClick(dlg->btnSyncTrust(), Qt::LeftButton);
            QVERIFY(services->Boxes.back().Text.find("CN=cal.example.org") != std::string::npos);
            QCOMPARE(dlg->btnSyncTrust()->isVisibleTo(dlg.get()), answer != TMessageResult::Yes);
        }
        QTest::mouseClick(dlg->btnOk(), Qt::LeftButton);
        TSyncSettings written;
        LoadSyncSettings(config->SettingsPath(), written);
        QCOMPARE(QString::fromStdString(written.Certificate), kept);
    }

    // Plain http to another machine is named under the address; https and this machine are not.
    void plainHttpIsNamed_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("named");
        QTest::newRow("http, other host") << "HTTP://192.168.1.5:5232/" << true;
        QTest::newRow("https") << "https://dav.example.org/cal/" << false;
        QTest::newRow("http, this machine") << "http://127.0.0.2:5232/" << false;
    }
    void plainHttpIsNamed() {
        QFETCH(QString, address);
        QFETCH(bool, named);
        dlg->show();
        QTest::keyClicks(dlg->edtSyncServer(), address);
        QCOMPARE(dlg->lblSyncPlain()->isVisible(), named);
    }

    void applyFailingAutostartStopsAndStaysOpen() {
        services->FakeAuto().Fail = true;
        dlg->show();
        dlg->chkWeekNumbers()->setChecked(true);
        QTest::mouseClick(dlg->btnOk(), Qt::LeftButton);
        QVERIFY(dlg->isVisible());
        QVERIFY(!config->Options.ShowWeekNumbers);
        QCOMPARE(services->Boxes.back().Text, std::string("Failed to set data for 'Kestrivel'"));
    }

    // Files the program wrote itself come back byte for byte from an Ok without changes.
    void okWithoutChangesKeepsTheFilesByteForByte() {
        const QString data = QStringLiteral(KESTRIVEL_TEST_DATA);
        QVERIFY(QFile::copy(data + "/SchemesThree.dat", dir->filePath("Schemes.dat")));
        QVERIFY(QFile::copy(data + "/MemosTwo.dat", dir->filePath("Memos.dat")));
        QByteArray written[2];
        for (int start = 0; start < 2; ++start) {
            Make(dir->path());
            config->Load();
            dlg->show();
            QTest::keyClick(dlg.get(), Qt::Key_Return);
            QVERIFY(!dlg->isVisible());
            for (int i = 0; i < 2; ++i) {
                QFile file(dir->filePath(i == 0 ? "Schemes.dat" : "Memos.dat"));
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QByteArray bytes = file.readAll();
                QVERIFY(start == 0 || bytes == written[i]);
                written[i] = bytes;
            }
        }
    }

    void dateFormatShowsShortOrLong_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("applied");
        QTest::newRow("custom") << "dd.mm.yy" << 0 << "ddddd";
        QTest::newRow("short") << "ddddd" << 0 << "ddddd";
        QTest::newRow("long") << "dddddd" << 1 << "dddddd";
        QTest::newRow("long in capitals") << "DDDDDD" << 0 << "ddddd";
    }
    void dateFormatShowsShortOrLong() {
        QFETCH(QString, stored);
        QFETCH(int, shown);
        QFETCH(QString, applied);
        config->Options.DateFormat = stored.toStdString();
        dlg->show();
        QCOMPARE(dlg->cmbDateFormat()->currentIndex(), shown);
        QVERIFY(dlg->btnApplyClick());
        QCOMPARE(QString::fromStdString(config->Options.DateFormat), applied);
    }

    void languageListFromTheProgramFolder_data() {
        QTest::addColumn<bool>("withFiles");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("applied");
        QTest::newRow("case differs") << true << "kestride.lang"
                                      << "Deutsch"
                                      << "KestriDe.lang";
        QTest::newRow("missing file") << true << "Gone.lang"
                                      << ""
                                      << "Gone.lang";
        QTest::newRow("no files") << false << "KestriEn.lang"
                                  << ""
                                  << "KestriEn.lang";
    }
    void languageListFromTheProgramFolder() {
        QFETCH(bool, withFiles);
        QFETCH(QString, option);
        QFETCH(QString, selected);
        QFETCH(QString, applied);
        if (withFiles) {
            WriteLang("KestriEn.lang", "language = English\n[frmConfig]\nbtnOk = Ok\n");
            WriteLang("KestriDe.lang", "language = Deutsch\n[frmConfig]\nbtnOk = OK\n");
            QFile broken(dir->filePath("Broken.lang"));
            QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("LanguageFile\x01") > 0);
            QVERIFY(QDir(dir->path()).mkdir("Folder.lang"));
        }
        config->Options.LanguageFile = option.toStdString();
        dlg->show();
        const QStringList expected = withFiles ? QStringList{"Deutsch", "English"} : QStringList{};
        QStringList items;
        for (int i = 0; i < dlg->cmbLanguages()->count(); ++i) {
            items << dlg->cmbLanguages()->itemText(i);
        }
        QCOMPARE(items, expected);
        QCOMPARE(dlg->cmbLanguages()->currentText(), selected);
        QVERIFY(dlg->btnApplyClick());
        QCOMPARE(QString::fromStdString(config->Options.LanguageFile), applied);
    }

    void translationReachesTabsAndGridTitles() {
        WriteLang("KestriDe.lang", "language = Deutsch\n[frmConfig]\ntbsOptions = Allgemein\n"
                                   "stgMemos = Datum;;Typ;Extra\n");
        TLangPack pack;
        QVERIFY(pack.Load(dir->filePath("KestriDe.lang").toStdString()));
        TranslateForm(pack, *dlg);
        QCOMPARE(dlg->pgcConfig()->tabText(0), QStringLiteral("Allgemein"));
        const QAbstractItemModel* grid = dlg->Memos()->stgMemos()->model();
        QCOMPARE(grid->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Datum"));
        QCOMPARE(grid->headerData(1, Qt::Horizontal).toString(), QString());
        QCOMPARE(grid->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Typ"));
    }

    // With each shipped language the dialog as designed shows every caption whole, all twelve style
    // rows without scrolling and every memo type name whole within the memo grid.
    void shippedLanguagesFitTheDesign_data() {
        QTest::addColumn<QString>("language");
        for (const char* language : {"KestriEn", "KestriDe", "KestriFr", "KestriEs"}) {
            QTest::newRow(language) << QString::fromLatin1(language);
        }
    }
    void shippedLanguagesFitTheDesign() {
        QFETCH(QString, language);
        std::ifstream in(KESTRIVEL_SOURCE_DIR "/lang/" + language.toStdString() + ".txt", std::ios::binary);
        WriteLang("Shipped.lang", std::string(std::istreambuf_iterator<char>(in), {}));
        TLangPack pack;
        QVERIFY(pack.Load(dir->filePath("Shipped.lang").toStdString()));
        TranslateForm(pack, *dlg);
        TranslateStrings(pack, ValueNamesSection, dlg->ValueNames());
        // The longest line about a sync fits the group too.
        TNameValueList messages = BuiltInMessages();
        TranslateStrings(pack, MessagesSection, messages);
        dlg->SetSyncStatus(TextToQString(messages.value("S13")));
        dlg->show();
        for (QWidget* tab : {dlg->tbsOptions(), dlg->tbsDisplay(), dlg->tbsMemos(), dlg->tbsAbout()}) {
            dlg->pgcConfig()->setCurrentWidget(tab);
            QCoreApplication::processEvents();
            for (QWidget* caption : tab->findChildren<QWidget*>()) {
                const auto* label = qobject_cast<QLabel*>(caption);
                if (label != nullptr && label->wordWrap()) {
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                             qPrintable(caption->objectName()));
                } else if (qobject_cast<QCheckBox*>(caption) || label != nullptr) {
                    QVERIFY2(caption->sizeHint().width() <= caption->width(),
                             qPrintable(caption->objectName()));
                }
                // No label touches the field it names beside it (those above their field cannot).
                if (label != nullptr && label->buddy() != nullptr &&
                    label->geometry().bottom() > label->buddy()->y()) {
                    QVERIFY2(label->x() + label->sizeHint().width() + 4 <= label->buddy()->x(),
                             qPrintable(caption->objectName()));
                }
            }
        }
        const auto* rows = dlg->tbsDisplay()->findChild<QTableWidget*>(QStringLiteral("ValueList"));
        QVERIFY(rows->visualRect(rows->model()->index(11, 1)).bottom() < rows->viewport()->height());
        QTableView* grid = dlg->Memos()->stgMemos();
        const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        for (const char* type : {"Type0", "Type1", "Type2", "Type3"}) {
            const QString name = QString::fromStdString(dlg->ValueNames().value(type));
            QVERIFY2(grid->fontMetrics().horizontalAdvance(name) + margins <= grid->columnWidth(2),
                     qPrintable(name));
        }
        const int scrollBar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
        QVERIFY(grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2) <=
                grid->viewport()->width() - scrollBar);
    }

    // A save that fails is named and Ok keeps the dialog open; the options the Apply took are
    // still written when it closes, and that failure is named too.
    void okReportsAFailedSaveAndStaysOpen() {
        Make(dir->filePath("missing-folder"));
        dlg->show();
        QTest::mouseClick(dlg->btnOk(), Qt::LeftButton);
        QVERIFY(dlg->isVisible());
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(services->Boxes[0].Text, "Unable to write to " + config->SchemesPath());
        dlg->close();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(services->Boxes.size(), size_t(2));
        QCOMPARE(services->Boxes[1].Text, "Unable to write to " + config->SettingsPath());
    }

    // The box about a failed Apply waits for the user with the folder's lock free, so the sync and
    // the command line go on meanwhile.
    void applyShowsItsBoxWithTheLockFree() {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Memos.dat")));
        dlg->show();
        bool othersCouldWrite = false;
        services->OnBox = [&](const TMessageBox&) {
            othersCouldWrite = FolderLock(dir->path().toStdString()).acquire(std::chrono::milliseconds(0)) ==
                               FolderLock::Result::Taken;
        };
        QVERIFY(!dlg->btnApplyClick());
        QCOMPARE(services->Boxes.size(), size_t(1));
        QVERIFY(othersCouldWrite);
    }

    // A program ended with the dialog still open (a logout) starts again with what Apply applied.
    void applyAloneLeavesCompleteSettings() {
        config->Options.LanguageFile = "KestriEs.lang";
        dlg->show();
        dlg->chkAutoUpdate()->setChecked(false);
        QVERIFY(dlg->btnApplyClick());
        TConfigData next(dir->path().toStdString());
        next.LoadOptions();
        QVERIFY(!next.Options.AutoUpdate);
        QVERIFY(next.Options.Remind);
        QCOMPARE(next.Options.LanguageFile, std::string("KestriEs.lang"));
    }

    void websiteOpensWhatTheLabelShows() {
        dlg->lblWebsiteClick();
        dlg->lblWebsite()->setText("https://other.example.net/");
        dlg->lblWebsiteClick();
        QCOMPARE(services->OpenedUrls.size(), size_t(2));
        QCOMPARE(services->OpenedUrls[1], QStringLiteral("https://other.example.net/"));
    }

    void memosTabRemovesAndExportsTheSelectedBlock() {
        AddMemos(6);
        dlg->show();
        MemosTab& tab = *dlg->Memos();
        QCOMPARE(tab.stgMemos()->model()->rowCount(), 6);
        tab.SelectRows(2, 4);
        const QString exported = dir->filePath("export.dat");
        services->FileNames.push_back(exported);
        QTest::mouseClick(tab.btnExportMemo(), Qt::LeftButton);
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 3);
        QTest::mouseClick(tab.btnRemoveMemo(), Qt::LeftButton);
        QCOMPARE(MemoTexts(), (std::vector<std::string>{"m1", "m5", "m6"}));
        QCOMPARE(tab.stgMemos()->model()->rowCount(), 3);
        QVERIFY(services->Boxes.empty()); // removed without asking
        QCOMPARE(tab.stgMemos()->model()->index(1, 0).data().toString(), QStringLiteral("2020-03-05"));
    }

    // An export names the file it could not write, and counts what it had to leave out.
    void exportSaysWhatWentWrong_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("after3000");
        QTest::addColumn<QString>("box");
        QTest::newRow("iCalendar, memo after 3000")
            << "x.ics" << true << "Memos left out of the export (dates after the year 3000 or damaged): 1";
        QTest::newRow("exchange, memo after 3000") << "x.dat" << true << "";
        QTest::newRow("no such folder") << "gone/x.dat" << false << "Unable to write to %1";
        QTest::newRow("iCalendar, no such folder") << "gone/x.ics" << true << "Unable to write to %1";
        QTest::newRow("the program's settings") << "Settings.ini" << false << "Unable to write to %1";
        QTest::newRow("the program's memos") << "Memos.dat" << true << "Unable to write to %1";
    }
    void exportSaysWhatWentWrong() {
        QFETCH(QString, name);
        QFETCH(bool, after3000);
        QFETCH(QString, box);
        AddMemos(2);
        TDateValue far = 0;
        QVERIFY(TryEncodeDate(3001, 1, 1, far));
        QVERIFY(!after3000 || config->Memos.Add("far", 0, far));
        dlg->show();
        const QString path = dir->filePath(name);
        services->FileNames.push_back(path);
        dlg->Memos()->SelectRows(1, config->Memos.Count());
        dlg->Memos()->btnExportMemoClick();
        QCOMPARE(QString::fromStdString(services->Boxes.empty() ? "" : services->Boxes.back().Text),
                 box.arg(path));
        QCOMPARE(QFile::exists(path),
                 !name.startsWith("gone") && !name.endsWith("s.dat") && !name.endsWith(".ini"));
    }

    void memosTabOnAnEmptyListOffersOnlyAddAndImport() {
        int opened = 0;
        memoEditor->SetModalLoop([&opened](TfrmMemo&) { ++opened; });
        dlg->show();
        MemosTab& tab = *dlg->Memos();
        QCOMPARE(tab.stgMemos()->model()->rowCount(), 0);
        QVERIFY(tab.btnAddMemo()->isEnabled() && tab.btnImportMemo()->isEnabled());
        QVERIFY(!tab.btnModifyMemo()->isEnabled() && !tab.btnRemoveMemo()->isEnabled() &&
                !tab.btnExportMemo()->isEnabled());
        tab.stgMemosDblClick();
        QCOMPARE(opened, 0);
        AddMemos(1, true);
        tab.DisplayMemos();
        tab.stgMemosDblClick();
        QCOMPARE(opened, 1);
    }

    // Rows 2-4 go out as iCalendar and come back whole into an emptied list; a damaged file adds
    // nothing and, as a damaged exchange file, says nothing.
    void memosTabTakesICalendarByName_data() {
        QTest::addColumn<QByteArray>("damage"); // written over the export when not empty
        QTest::newRow("round trip") << QByteArray();
        QTest::newRow("unterminated") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n");
    }
    void memosTabTakesICalendarByName() {
        QFETCH(QByteArray, damage);
        AddMemos(6);
        config->Memos.Modify(1, "two;lines", 1);
        dlg->show();
        MemosTab& tab = *dlg->Memos();
        services->FileNames = {dir->filePath("x.ics"), dir->filePath("x.ics")};
        tab.SelectRows(2, 4);
        tab.btnExportMemoClick();
        QFile file(dir->filePath("x.ics"));
        QVERIFY(damage.isEmpty() ||
                (file.open(QIODevice::WriteOnly) && file.write(damage) > 0 && file.flush()));
        tab.SelectRows(1, 6);
        tab.btnRemoveMemoClick();
        tab.btnImportMemoClick();
        const int count = damage.isEmpty() ? 3 : 0;
        QCOMPARE(MemoTexts(),
                 count ? (std::vector<std::string>{"two;lines", "m3", "m4"}) : std::vector<std::string>());
        QCOMPARE(tab.stgMemos()->model()->rowCount(), count);
        QCOMPARE(services->Boxes.size(), size_t(count > 0));
        QVERIFY(!count || services->Boxes[0].Text == "Memos added / approximated / skipped: 3 / 0 / 0");
        // The save dialog's suffix follows the chosen filter.
        QCOMPARE(FilterSuffix(ICalendarFilter(*services)) + FilterSuffix(CalendarDataFilter(*services)),
                 QStringLiteral("icsdat"));
        QCOMPARE(FilterSuffix("All (*)") + FilterSuffix("Pictures (*.png *.jpg)"), QString());
    }
};

QTEST_MAIN(TestFormConfig)
#include "test_FormConfig.moc"
