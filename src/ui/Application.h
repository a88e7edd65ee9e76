#pragma once

#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "config/ProgramPaths.h"

#include <QObject>

#include <memory>

namespace kestrivel {

class QtTextMeasurer;
class TServices;
class TfrmConfig;
class TfrmMain;
class TfrmMemo;

// The running program of the first instance: the services, the shared data and the three windows,
// built in the start-up order and wired together. Destroyed before the instance lock is released.
class TKestrivel : public QObject {
    Q_OBJECT
public:
    // Loads the data, builds the windows and applies the stay-on-top option; nothing shows yet.
    TKestrivel(std::unique_ptr<TServices> services, const ProgramPaths& paths);
    ~TKestrivel() override;

    // Adds the notification-area icon and shows the calendar (which translates, checks for an
    // update and draws); files that did not load completely are reported once the calendar shows.
    void Start();

    TfrmMain& MainWindow() const { return *m_frmMain; }
    // The dialogs are made when first needed (the shared data exists from the start), and are
    // translated with the language applied last when they are made.
    TfrmConfig& ConfigDialog();
    TfrmMemo& MemoEditor();
    TConfigData& Config() { return m_config; }

private:
    void reportDamagedFiles();

    std::unique_ptr<TServices> m_services;
    TConfigData m_config;
    TLocaleFormats m_formats;
    std::unique_ptr<QtTextMeasurer> m_measurer;
    std::unique_ptr<TfrmMain> m_frmMain;
    std::unique_ptr<TfrmMemo> m_frmMemo;
    std::unique_ptr<TfrmConfig> m_frmConfig;
};

// The language file to start with on a first start (no Settings.ini yet): the shipped file of the
// system locale's language, if any; otherwise the option as loaded.
std::string StartLanguageFile(const TConfigData& config, bool settingsFileExisted,
                              const std::string& localeName);

} // namespace kestrivel
