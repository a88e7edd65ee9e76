#pragma once

#include "schemes/SchemeEditorRules.h"
#include "schemes/UnitSchemes.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QFontMetrics;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrivel {

class TConfigData;
class TNameValueList;
class TServices;
class ValueListDelegate;

// The configuration dialog's Display tab (tbsDisplay): the zone list, the twelve-row style editor
// (ValueList) and the named schemes. It edits the working scheme and the scheme list of the data
// owner in memory; Schemes.dat is written by the dialog's apply step, never here.
//
// The dialog drives it at these points:
//   showing:  DisplaySchemes() right after the language list is filled (show step 1), then
//             ShowSteps() as the last step of showing (clears SchemeModified, shows the remembered
//             scheme or zone 0);
//   applying: SaveSettings() (stop the apply when it returns false), ApplySchemes with
//             SelectedSchemeIndex(), and after the language and the calendar are refreshed,
//             cmbZoneSelect() once more.
class TSchemeEditor : public QWidget {
public:
    // `valueNames` is the dialog's translatable value-name list; it must outlive the editor and is
    // read each time the rows are filled, so the editor follows the current language.
    TSchemeEditor(TConfigData& config, TServices& services, const TNameValueList& valueNames,
                  QWidget* parent = nullptr);
    ~TSchemeEditor() override;

    // Show step 1: refills cmbSchemes from the scheme list; no entry is selected afterwards.
    void DisplaySchemes();
    // Show steps 2 to 4.
    void ShowSteps();
    // Fills the rows from a zone record of the working scheme and makes it CurrentSettings.
    void DisplaySettings(TSettings& settings);
    // The rows into CurrentSettings, field by field. False after showing the conversion error of
    // the first row that does not convert (the rows before it are stored). True with nothing to do.
    bool SaveSettings();
    // The entry selected in cmbSchemes, -1 for none: position index + 1 of the scheme list.
    int SelectedSchemeIndex() const;

    // Handlers, public so the dialog and the tests can run them as the user would.
    void cmbZoneSelect();
    void cmbSchemesSelect();
    void btnSaveSchemeClick();
    void btnDeleteSchemeClick();
    void btnExportSchemeClick();
    void btnImportSchemeClick();
    void ValueListEditButtonClick();
    void ValueListStringsChange();

    // Set by any user change in the rows; cleared by a save, a scheme selection, a zone switch,
    // a deletion and every show.
    bool SchemeModified = false;

    // The zone record the rows show; none until the first display.
    TSettings* CurrentSettings = nullptr;

private:
    enum class SaveResult {
        Saved,
        NotSaved, // no name given
        Stopped,  // a row did not convert; the caller stops too
    };

    void buildControls();
    // The names in the unselected box as far as they fit, then "…".
    void fitPlaceholder();
    // Rows that do not apply to the zone in cmbZone are greyed and cannot be entered.
    void applyZoneRows();
    // The save steps of btnSaveSchemeClick.
    SaveResult saveScheme();
    // The entry bearing `name`: the exact name first, then one differing only in letter case.
    int findEntry(const QString& name) const;
    // The row texts as the grid holds them now.
    ValueTexts rowTexts() const;
    void setRowText(int row, const std::string& text);
    bool rowApplies(int row) const;
    int zone() const;

    TConfigData& m_config;
    TServices& m_services;
    const TNameValueList& m_valueNames;

    QLabel* m_lblItem = nullptr;
    QComboBox* m_cmbZone = nullptr;
    QLabel* m_lblScheme = nullptr;
    QComboBox* m_cmbSchemes = nullptr;
    QTableWidget* m_valueList = nullptr;
    ValueListDelegate* m_delegate = nullptr;
    QPushButton* m_btnSaveScheme = nullptr;
    QPushButton* m_btnDeleteScheme = nullptr;
    QPushButton* m_btnExportScheme = nullptr;
    QPushButton* m_btnImportScheme = nullptr;

    // The choice words the rows were last filled with; reading back uses them, so a language
    // change between filling and reading loses no choice.
    ChoiceWords m_shownWords;
    // Set while the program itself writes the rows.
    bool m_filling = false;
    // The names cmbSchemes holds, shown while none is selected.
    QStringList m_schemeNames;

protected:
    // cmbSchemes resized (its page laid out when first shown): the names are fitted anew.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// `names` joined by ", " as far as they fit into `width` pixels of `metrics`, the rest left out
// after ", …"; a first name too long alone is cut with "…".
QString FittingNames(const QStringList& names, const QFontMetrics& metrics, int width);

} // namespace kestrivel
