#pragma once

#include "memos/ICalendar.h"
#include "memos/MemosTabRows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QWidget>

#include <thread>

class QPushButton;
class QTableView;

namespace kestrivel {

class TConfigData;
class TfrmMemo;
class TNameValueList;
class TServices;
struct TLocaleFormats;

// The memo grid's rows, read from the shared memo list when drawn: a list of 65,535 memos costs
// only the rows on screen. The header cells are the grid's title row; translation replaces them
// through setHeaderData.
class MemosTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    MemosTableModel(const TConfigData& config, const TLocaleFormats& formats,
                    const TNameValueList& valueNames, QObject* parent = nullptr);

    // Shows the list as it is now.
    void Refill();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

private:
    const TConfigData& m_config;
    const TLocaleFormats& m_formats;
    const TNameValueList& m_valueNames;
    QStringList m_titles;
    int m_memoCount = 0; // the count shown since the last refill
};

// The Memos tab of the configuration dialog: the grid of every memo and the five commands. It
// changes the shared memo list at once and writes no file except an export; Memos.dat is written
// by the dialog's apply step.
class MemosTab : public QWidget {
    Q_OBJECT
public:
    // `valueNames` (the dialog's list, read at every refill) gives the type names.
    MemosTab(TConfigData& config, TServices& services, TfrmMemo& memoEditor, const TLocaleFormats& formats,
             const TNameValueList& valueNames, QWidget* parent = nullptr);

    // Waits for an iCalendar reading the user cancelled: it holds the services.
    ~MemosTab() override;

    // Refills the grid from the list and enables the commands that need a memo.
    void DisplayMemos();

    // Handlers, public so the dialog and the tests run them as the user would.
    void btnAddMemoClick();
    void btnModifyMemoClick();
    void btnRemoveMemoClick();
    void btnExportMemoClick();
    void btnImportMemoClick();
    void stgMemosDblClick();

    // The memos of the selected block of rows; none when no memo row is selected.
    std::optional<MemoBlock> SelectedBlock() const;
    // Selects the block of grid rows top..bottom (row r shows memo r - 1), as a drag would.
    void SelectRows(int topRow, int bottomRow);

    QTableView* stgMemos() const { return m_stgMemos; }
    MemosTableModel* Model() const { return m_model; }
    QPushButton* btnAddMemo() const { return m_btnAddMemo; }
    QPushButton* btnModifyMemo() const { return m_btnModifyMemo; }
    QPushButton* btnRemoveMemo() const { return m_btnRemoveMemo; }
    QPushButton* btnExportMemo() const { return m_btnExportMemo; }
    QPushButton* btnImportMemo() const { return m_btnImportMemo; }

protected:
    // The grid keeps its designed place and width and takes the height the page gives it.
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    // Reads an iCalendar file into the list off the GUI thread; false when it could not be read or
    // the user cancelled.
    bool importICalendar(const std::string& path, ICalendarImportCounts& counts);
    static constexpr int kImportProgressDelayMs = 300;
    static constexpr int kImportPollMs = 20;

    TConfigData& m_config;
    TServices& m_services;
    TfrmMemo& m_memoEditor;
    const TLocaleFormats& m_formats;

    MemosTableModel* m_model = nullptr;
    QTableView* m_stgMemos = nullptr;
    QPushButton* m_btnAddMemo = nullptr;
    QPushButton* m_btnModifyMemo = nullptr;
    QPushButton* m_btnRemoveMemo = nullptr;
    QPushButton* m_btnExportMemo = nullptr;
    QPushButton* m_btnImportMemo = nullptr;
    // The last iCalendar reading; a cancelled one may still run.
    std::thread m_import;
};

// The Memos tab's file dialogs offer both filters in the chosen language: the exchange format first.
QString MemoFileFilters(const TServices& services);

} // namespace kestrivel
