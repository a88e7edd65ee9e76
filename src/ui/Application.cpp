#include "Application.h"

#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "config/FormConfig.h"
#include "lang/FirstStartLanguage.h"
#include "lang/LanguagePack.h"
#include "base/UnitMessages.h"
#include "memos/FormMemo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

namespace kestrivel {

namespace {

// Every language file on offer with the name its header gives.
std::vector<LanguageOffer> LanguageOffers(const TConfigData& config) {
    std::vector<LanguageOffer> offers;
    TLangPack pack;
    for (const FoundFile& file : findFiles(config.SearchFolders(), ".lang")) {
        if (pack.ReadHeader(file.Path)) {
            offers.push_back({file.Name, pack.LanguageName});
        }
    }
    return offers;
}

} // namespace

std::string StartLanguageFile(const TConfigData& config, bool settingsFileExisted,
                              const std::string& localeName) {
    if (settingsFileExisted) {
        return config.Options.LanguageFile;
    }
    return firstStartLanguageFile(false, localeName, LanguageOffers(config), config.Options.LanguageFile);
}

TKestrivel::TKestrivel(std::unique_ptr<TServices> services, const ProgramPaths& paths)
    : m_services(std::move(services)), m_config(paths.ProgramFolder, paths.SearchFolders),
      m_formats(LocaleFormatsFrom(QLocale::system())), m_measurer(std::make_unique<QtTextMeasurer>()) {
    const bool settingsExisted = QFileInfo::exists(QString::fromStdString(m_config.SettingsPath()));
    m_config.Timestamp = [this] {
        return m_services->Now().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    };
    m_config.Load();
    m_config.Options.LanguageFile =
        StartLanguageFile(m_config, settingsExisted, QLocale::system().name().toStdString());

    m_frmMain = std::make_unique<TfrmMain>(m_config, *m_services, m_formats, *m_measurer);
    m_frmMain->AlwaysOnTop(m_config.Options.AlwaysOnTop);

    TfrmMain* frmMain = m_frmMain.get();
    connect(frmMain, &TfrmMain::addMemoRequested, this, [this, frmMain](int year, int month, int day) {
        EditMemoOfDay(MemoEditor(), m_config, *m_services, year, month, day,
                      [frmMain] { frmMain->DrawCalendar(); });
    });
    connect(frmMain, &TfrmMain::configureRequested, this, [this] { ConfigDialog().ShowModal(); });
    connect(frmMain, &TfrmMain::exitRequested, this, [] { QCoreApplication::quit(); });
}

TKestrivel::~TKestrivel() = default;

TfrmMemo& TKestrivel::MemoEditor() {
    if (!m_frmMemo) {
        m_frmMemo = std::make_unique<TfrmMemo>(*m_services);
        m_frmMain->RegisterTranslatedWindow(m_frmMemo.get());
    }
    return *m_frmMemo;
}

TfrmConfig& TKestrivel::ConfigDialog() {
    if (!m_frmConfig) {
        TfrmMemo& frmMemo = MemoEditor();
        m_frmConfig = std::make_unique<TfrmConfig>(m_config, *m_services, *m_frmMain, frmMemo, m_formats);
        m_frmMain->SetValueNames(&m_frmConfig->ValueNames());
        m_frmMain->RegisterTranslatedWindow(m_frmConfig.get());
    }
    return *m_frmConfig;
}

void TKestrivel::Start() {
    m_frmMain->AddTrayIcon();
    m_frmMain->show();
    QTimer::singleShot(0, this, &TKestrivel::reportDamagedFiles);
}

void TKestrivel::reportDamagedFiles() {
    for (const TDamagedFile& file : m_config.TakeDamagedFiles()) {
        ShowError(*m_services, m_frmMain.get(), 3, file.CopyPath.empty() ? file.Path : file.CopyPath);
    }
}

} // namespace kestrivel
