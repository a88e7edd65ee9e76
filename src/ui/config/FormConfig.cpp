#include "config/FormConfig.h"
#include "sync/MemoOperations.h"

#include "base/AccessibleNames.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "config/AboutPicture.h"
#include "config/ConfigCopy.h"
#include "config/ConfigData.h"
#include "config/Options.h"
#include "config/ProgramPaths.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "base/UnitMessages.h"
#include "base/X11Window.h"
#include "common/Version.h"
#include "memos/FormMemo.h"
#include "memos/MemosTab.h"
#include "schemes/SchemeEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstddef>
#include <functional>
#include <utility>

namespace kestrivel {

namespace {

static constexpr const char* kProgramName = "Kestrivel";
static constexpr const char* kWebsite = "https://kestrivel.example.org";
static constexpr const char* kCopyright = "\u00a9 2026 The Kestrivel developers";
static constexpr const char* kAboutPicture = ":/about.jpg";
static constexpr const char* kShortDate = "ddddd";
static constexpr const char* kLongDate = "dddddd";
static constexpr int kTabWidth = 100;
static constexpr int kFontPixels = 11;

// Every tab is as wide as designed, whatever its caption.
class FixedTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override {
        return QSize(kTabWidth, QTabBar::tabSizeHint(index).height());
    }
};

class PageControl : public QTabWidget {
public:
    explicit PageControl(QWidget* parent) : QTabWidget(parent) { setTabBar(new FixedTabBar(this)); }
};

// The web address of the About tab: a click on its text opens whatever the label shows now, so a
// translated address is the one opened.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> clicked)
        : QLabel(text, parent), m_clicked(std::move(clicked)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        const QSize textSize(fontMetrics().horizontalAdvance(text()), fontMetrics().height());
        const QRect textRect = QStyle::alignedRect(layoutDirection(), alignment(), textSize, contentsRect());
        if (event->button() == Qt::LeftButton && textRect.contains(event->position().toPoint())) {
            m_clicked();
        }
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> m_clicked;
};

template <typename Widget> Widget* Named(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QWidget* Page(QTabWidget* pages, const char* name, const char* caption) {
    auto* page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(name));
    pages->addTab(page, QString::fromLatin1(caption));
    return page;
}

// A widget that fills a tab page.
void FillPage(QWidget* page, QWidget* content) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

} // namespace

TfrmConfig::TfrmConfig(TConfigData& config, TServices& services, TNameValueList& valueNames,
                       TfrmMemo& memoEditor, const TLocaleFormats& formats, const QWidget* anchor,
                       QWidget* parent)
    : QDialog(parent), m_config(config),
      m_draft(std::make_unique<TConfigData>(config.ProgramFolder(), config.SearchFolders())),
      m_services(services), m_valueNames(valueNames), m_memoEditor(memoEditor), m_formats(formats),
      m_anchor(anchor) {
    createControls();
}

TfrmConfig::~TfrmConfig() = default;

void TfrmConfig::createControls() {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QString::fromLatin1(kProgramName));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    AskOnlyCloseButton(*this);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(ArialFont(kFontPixels, false));

    m_pages = Named(new PageControl(this), "pgcConfig", QRect(8, 8, 425, 201 + kSyncGroupHeight));
    m_tbsOptions = Page(m_pages, "tbsOptions", "General");
    m_tbsDisplay = Page(m_pages, "tbsDisplay", "Display");
    m_tbsMemos = Page(m_pages, "tbsMemos", "Memos");
    m_tbsAbout = Page(m_pages, "tbsAbout", "About");
    createGeneralTab();
    createSyncGroup();

    m_schemeEditor = new TSchemeEditor(*m_draft, m_services, m_valueNames, m_tbsDisplay);
    FillPage(m_tbsDisplay, m_schemeEditor);
    m_memosTab = new MemosTab(*m_draft, m_services, m_memoEditor, m_formats, m_valueNames, m_tbsMemos);
    FillPage(m_tbsMemos, m_memosTab);
    createAboutTab();

    const int buttonTop = 216 + kSyncGroupHeight;
    m_btnOk = Named(new QPushButton(QStringLiteral("Ok"), this), "btnOk", QRect(176, buttonTop, 81, 25));
    m_btnOk->setDefault(true);
    m_btnCancel =
        Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel", QRect(264, buttonTop, 81, 25));
    m_btnApply =
        Named(new QPushButton(QStringLiteral("Apply"), this), "btnApply", QRect(352, buttonTop, 81, 25));
    for (QPushButton* button : {m_btnCancel, m_btnApply}) {
        button->setAutoDefault(false);
    }
    connect(m_btnOk, &QPushButton::clicked, this, &TfrmConfig::btnOkClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TfrmConfig::btnCancelClick);
    connect(m_btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });

    m_pages->setCurrentIndex(0);
    LinkLabels(*this, {{"lblWeekStart", "cmbWeekStart"},
                       {"lblDateFormat", "cmbDateFormat"},
                       {"lblLanguage", "cmbLanguages"},
                       {"lblScheme", "cmbSchemes"},
                       {"lblItem", "cmbZone"},
                       {"lblSyncServer", "edtSyncServer"},
                       {"lblSyncUser", "edtSyncUser"},
                       {"lblSyncPassword", "edtSyncPassword"},
                       {"lblSyncInterval", "spnSyncInterval"},
                       {"lblSubscriptionName", "edtSubscriptionName"},
                       {"lblSubscriptionAddress", "edtSubscriptionAddress"},
                       {"lblSyncMemoCalendar", "cmbSyncMemoCalendar"}});
}

void TfrmConfig::createGeneralTab() {
    QWidget* tab = m_tbsOptions;
    const struct {
        QCheckBox*& Box;
        const char* Name;
        int Top;
        const char* Caption;
    } boxes[] = {
        {m_chkAutorun, "chkAutorun", 16, "Display the calendar on Windows startup."},
        {m_chkAutoUpdate, "chkAutoUpdate", 40, "Look for update automaticly."},
        {m_chkAlwaysOnTop, "chkAlwaysOnTop", 64, "Calendar is always on top."},
        {m_chkWeekdays, "chkWeekdays", 88, "Show week days."},
        {m_chkWeekNumbers, "chkWeekNumbers", 112, "Show week numbers."},
        {m_chkTodaysMemo, "chkTodaysMemo", 136, "Show today's memo."},
        // Below the designed boxes, just above the Sync group.
        {m_chkRemind, "chkRemind", 153, "Remind me of today's memos"},
    };
    for (const auto& box : boxes) {
        box.Box =
            Named(new QCheckBox(QString::fromLatin1(box.Caption), tab), box.Name, QRect(8, box.Top, 265, 17));
    }

    const auto list = [tab](QLabel*& label, const char* labelName, const char* caption, int labelTop,
                            QComboBox*& combo, const char* comboName, int comboTop,
                            const QStringList& items) {
        label =
            Named(new QLabel(QString::fromLatin1(caption), tab), labelName, QRect(288, labelTop, 121, 14));
        combo = Named(new QComboBox(tab), comboName, QRect(288, comboTop, 121, 21));
        combo->setEditable(false);
        combo->addItems(items);
    };
    list(m_lblWeekStart, "lblWeekStart", "Start of the week :", 6, m_cmbWeekStart, "cmbWeekStart", 22,
         {QStringLiteral("Monday"), QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
          QStringLiteral("Thursday"), QStringLiteral("Friday"), QStringLiteral("Saturday"),
          QStringLiteral("Sunday")});
    list(m_lblDateFormat, "lblDateFormat", "Date format :", 69, m_cmbDateFormat, "cmbDateFormat", 86,
         {QStringLiteral("Short"), QStringLiteral("Long")});
    list(m_lblLanguage, "lblLanguage", "Language :", 126, m_cmbLanguages, "cmbLanguages", 142, {});
}

void TfrmConfig::createAboutTab() {
    QWidget* tab = m_tbsAbout;
    m_pnlIcon = Named(new QFrame(tab), "pnlIcon", QRect(8, 8, 81, 81));
    m_pnlIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pnlIcon->setLineWidth(2);
    m_imgIcon = Named(new QLabel(m_pnlIcon), "imgIcon", QRect(2, 2, 77, 77));
    QFile picture(QString::fromLatin1(kAboutPicture));
    if (picture.open(QIODevice::ReadOnly)) {
        m_imgIcon->setPixmap(QPixmap::fromImage(DecodeJpeg(picture.readAll())));
    }

    m_lblName = Named(new QLabel(QString::fromLatin1(kProgramName), tab), "lblName", QRect(96, 8, 313, 36));
    m_lblName->setFont(ArialFont(32, true));
    m_lblVersion = Named(new QLabel(tab), "lblVersion", QRect(97, 44, 312, 20));
    m_lblVersion->setFont(ArialFont(16, true));
    m_lblVersion->setText(QString::fromLatin1(kVersionText));

    // Both right-aligned lines end where the designed web address ends.
    m_lblWebsite = Named(new LinkLabel(QString::fromLatin1(kWebsite), tab, [this] { lblWebsiteClick(); }),
                         "lblWebsite", QRect(97, 140, 312, 14));
    m_lblWebsite->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont underlined = font();
    underlined.setUnderline(true);
    m_lblWebsite->setFont(underlined);
    QPalette highlight = m_lblWebsite->palette();
    highlight.setColor(QPalette::WindowText, highlight.color(QPalette::Highlight));
    m_lblWebsite->setPalette(highlight);
    m_lblWebsite->setCursor(Qt::PointingHandCursor);
    m_lblCopyright =
        Named(new QLabel(QString::fromUtf8(kCopyright), tab), "lblCopyright", QRect(97, 156, 312, 14));
    m_lblCopyright->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

std::vector<std::pair<QCheckBox*, bool*>> TfrmConfig::checkBoxOptions() const {
    TOptions& options = m_draft->Options;
    return {{m_chkAutorun, &options.Autorun},
            {m_chkAutoUpdate, &options.AutoUpdate},
            {m_chkAlwaysOnTop, &options.AlwaysOnTop},
            {m_chkWeekdays, &options.ShowWeekdays},
            {m_chkWeekNumbers, &options.ShowWeekNumbers},
            {m_chkTodaysMemo, &options.ShowTodaysMemo},
            {m_chkRemind, &options.Remind}};
}

int TfrmConfig::ShowModal() {
    return exec();
}

void TfrmConfig::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        const QRect near = m_anchor ? m_anchor->frameGeometry() : QRect();
        const QRect screen = NearestScreen(near, m_services.ScreenRects());
        if (!screen.isEmpty()) {
            move(screen.center() - QPoint(width() / 2, height() / 2));
        }
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmConfig::FormShow() {
    // Everything the tabs change is a copy until Ok or Apply.
    CopyEditedData(m_config, *m_draft);
    m_base = EditedBaseOf(m_config);
    m_applied = false;
    ListLanguagePacks();
    m_schemeEditor->DisplaySchemes();
    m_memosTab->DisplayMemos();
    m_schemeEditor->SchemeModified = false;

    const TOptions& options = m_draft->Options;
    for (const auto& [box, option] : checkBoxOptions()) {
        box->setChecked(*option);
    }
    m_cmbWeekStart->setCurrentIndex(options.StartOfWeek - 1);
    m_cmbDateFormat->setCurrentIndex(options.DateFormat == kLongDate ? 1 : 0);
    int language = -1;
    const QString chosen = QFile::decodeName(options.LanguageFile.c_str());
    for (size_t i = 0; i < m_languageFiles.size() && language < 0; ++i) {
        if (QFile::decodeName(m_languageFiles[i].c_str()).compare(chosen, Qt::CaseInsensitive) == 0) {
            language = static_cast<int>(i);
        }
    }
    m_cmbLanguages->setCurrentIndex(language);
    showSync();

    m_schemeEditor->ShowSteps();
}

void TfrmConfig::ListLanguagePacks() {
    m_cmbLanguages->clear();
    m_languageFiles.clear();
    TLangPack pack;
    // Regular files only, by name (the order the Windows file system lists them in).
    for (const FoundFile& file : findFiles(m_config.SearchFolders(), ".lang")) {
        if (pack.ReadHeader(file.Path)) {
            m_cmbLanguages->addItem(QString::fromStdString(pack.LanguageName));
            m_languageFiles.push_back(file.Name);
        }
    }
}

bool TfrmConfig::btnApplyClick() {
    TOptions& options = m_draft->Options;
    std::string error;
    if (!m_services.Autostart().setAutostart(
            kProgramName, QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString(),
            m_chkAutorun->isChecked(), error)) {
        ShowLibraryError(m_services, this, error);
        return false;
    }
    if (m_chkAlwaysOnTop->isChecked() != options.AlwaysOnTop) {
        emit alwaysOnTopChanged(m_chkAlwaysOnTop->isChecked());
    }
    for (const auto& [box, option] : checkBoxOptions()) {
        *option = box->isChecked();
    }
    options.StartOfWeek = NormaliseStartOfWeek(m_cmbWeekStart->currentIndex() + 1);
    options.DateFormat = m_cmbDateFormat->currentIndex() >= 1 ? kLongDate : kShortDate;
    const int language = m_cmbLanguages->currentIndex();
    if (language >= 0 && language < static_cast<int>(m_languageFiles.size())) {
        options.LanguageFile = m_languageFiles[static_cast<size_t>(language)];
    }
    if (!m_schemeEditor->SaveSettings() || !applySync()) {
        return false;
    }
    // Onto what the data owner holds now: a sync may have brought memos since the dialog opened.
    // The memos changed here go to Memos.dat as it is when they are saved, each with what the
    // dialog showed of its date.
    int selected = m_schemeEditor->SelectedSchemeIndex();
    if (!ApplyEditedData(m_base, *m_draft, m_config, selected, false)) {
        ShowError(m_services, this, TErrorMessage::UnableToWrite, m_config.SchemesPath());
        return false;
    }
    m_applied = true;
    const bool saved = saveApplied(selected, MemoOperationsBetween(m_base.Memos, m_draft->Memos.Items()));
    // The saves may have merged changes another program made to the files meanwhile. Memo changes
    // that a failed Apply may not have handed over stay in the dialog, against the same base, and go
    // again with the next Apply (an operation that already stands changes nothing then).
    std::vector<TMemo> unapplied;
    if (!saved) {
        unapplied = m_draft->Memos.Items();
    }
    CopyEditedData(m_config, *m_draft);
    TEditedBase base = EditedBaseOf(m_config);
    if (!saved) {
        m_draft->Memos.assignItems(std::move(unapplied));
        base.Memos = std::move(m_base.Memos);
    }
    m_base = std::move(base);
    if (!saved) {
        return false;
    }
    syncFieldsEdited();
    emit applied();
    m_schemeEditor->cmbZoneSelect();
    return true;
}

void TfrmConfig::btnOkClick() {
    if (btnApplyClick()) {
        accept();
    }
}

void TfrmConfig::btnCancelClick() {
    reject();
}

void TfrmConfig::done(int result) {
    FormClose();
    QDialog::done(result);
}

bool TfrmConfig::saveApplied(int selectedIndex, const std::vector<TMemoOperation>& memoChanges) {
    // One hold of the folder's lock for the three files: another writer sees all of Apply or none.
    // The box comes after the hold, so no other writer waits while the user reads it.
    std::string failed;
    {
        const auto lock = m_config.LockFiles();
        std::string error;
        if (!lock.held() || !m_config.ApplySchemes(selectedIndex)) {
            failed = m_config.SchemesPath();
        } else if (const TMemoOperationResult memos = ApplyMemoOperations(m_config, memoChanges);
                   memos == TMemoOperationResult::NotSaved || memos == TMemoOperationResult::ListFull) {
            failed = m_config.MemosPath();
        } else if (!m_config.SaveApplied(error)) {
            failed = m_config.SettingsPath();
        }
    }
    if (!failed.empty()) {
        ShowError(m_services, this, TErrorMessage::UnableToWrite, failed);
        return false;
    }
    return true;
}

void TfrmConfig::FormClose() {
    // Cancel after no Apply leaves Settings.ini as it was, as every other file.
    if (!m_applied) {
        return;
    }
    std::string error;
    if (!m_config.SaveOptions(error)) {
        ShowLibraryError(m_services, this, error);
    }
}

void TfrmConfig::lblWebsiteClick() {
    m_services.OpenUrl(m_lblWebsite->text());
}

} // namespace kestrivel
