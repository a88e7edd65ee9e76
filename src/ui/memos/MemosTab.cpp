#include "memos/MemosTab.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "common/FileChecks.h"
#include "common/SafeFile.h"
#include "config/ConfigData.h"
#include "base/UnitMessages.h"
#include "lang/MessageTable.h"
#include "memos/FormMemo.h"
#include "memos/ICalendar.h"
#include "memos/UnitMemo.h"
#include "sync/OwnFiles.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>

namespace kestrivel {

namespace {

static constexpr int kColumnCount = 3;
static constexpr int kColumnWidths[kColumnCount] = {69, 161, 59};
static constexpr int kRowHeight = 18;
static constexpr int kButtonLeft = 8;
static constexpr int kButtonWidth = 81;
static constexpr int kButtonHeight = 25;
static constexpr int kGridLeft = 97;
static constexpr int kGridTop = 8;
static constexpr int kGridWidth = 312;
static constexpr int kGridMinHeight = 100;
static constexpr int kMemoColumn = 1;
static constexpr int kTypeColumn = 2;
static constexpr int kTypeCount = 4;
// Room a cell leaves on both sides of its text, with a pixel to spare.
static constexpr int kCellMargins = 8;
static constexpr int kMemoMinWidth = 100;

// The Type column is as wide as its widest name needs (translations run longer than "Monthly");
// the Memo column gives up what it takes, so the columns still fill the designed width.
void fitTypeColumn(QTableView& grid, const TNameValueList& valueNames) {
    const QFontMetrics metrics(grid.font());
    int needed = kColumnWidths[kTypeColumn];
    for (int code = 0; code < kTypeCount; ++code) {
        const QString name = QString::fromStdString(MemoTypeName(code, valueNames));
        needed = std::max(needed, metrics.horizontalAdvance(name) + kCellMargins);
    }
    QHeaderView* titles = grid.horizontalHeader();
    const int shown = titles->sectionSize(kTypeColumn);
    // The names are read when drawn; after a change of language the rows show the new ones.
    grid.viewport()->update();
    if (shown >= needed) {
        return;
    }
    titles->resizeSection(kMemoColumn,
                          std::max(kMemoMinWidth, titles->sectionSize(kMemoColumn) - (needed - shown)));
    titles->resizeSection(kTypeColumn, needed);
}

} // namespace

QString MemoFileFilters(const TServices& services) {
    return CalendarDataFilter(services) + QStringLiteral(";;") + ICalendarFilter(services);
}

MemosTableModel::MemosTableModel(const TConfigData& config, const TLocaleFormats& formats,
                                 const TNameValueList& valueNames, QObject* parent)
    : QAbstractTableModel(parent), m_config(config), m_formats(formats),
      m_valueNames(valueNames), m_titles{QStringLiteral("Date"), QStringLiteral("Memo"),
                                         QStringLiteral("Type")} {}

void MemosTableModel::Refill() {
    beginResetModel();
    m_memoCount = m_config.Memos.Count();
    endResetModel();
}

int MemosTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : MemosTabBodyRows(m_memoCount);
}

int MemosTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant MemosTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_memoCount) {
        return {};
    }
    const MemosTabRow row = MemosTabRowOf(m_config.Memos, index.row(), m_formats, m_valueNames);
    switch (index.column()) {
    case 0:
        return QString::fromStdString(row.Date);
    case 1:
        return TextToQString(row.Text);
    case 2:
        return QString::fromStdString(row.Type);
    default:
        return {};
    }
}

QVariant MemosTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::EditRole) && section >= 0 &&
        section < m_titles.size()) {
        return m_titles[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool MemosTableModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                    int role) {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) || section < 0 ||
        section >= m_titles.size()) {
        return false;
    }
    m_titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

MemosTab::MemosTab(TConfigData& config, TServices& services, TfrmMemo& memoEditor,
                   const TLocaleFormats& formats, const TNameValueList& valueNames, QWidget* parent)
    : QWidget(parent), m_config(config), m_services(services), m_memoEditor(memoEditor), m_formats(formats),
      m_model(new MemosTableModel(config, formats, valueNames, this)) {
    buildControls();
    // At every refill, and once a language file has renamed the titles: queued, because the type
    // names of the same language are translated after the window.
    const auto fit = [this, &valueNames] { fitTypeColumn(*m_stgMemos, valueNames); };
    connect(m_model, &QAbstractItemModel::modelReset, this, fit);
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, fit, Qt::QueuedConnection);
}

void MemosTab::buildControls() {
    m_stgMemos = new QTableView(this);
    m_stgMemos->setObjectName(QStringLiteral("stgMemos"));
    m_stgMemos->setGeometry(kGridLeft, kGridTop, kGridWidth, kGridMinHeight);
    m_stgMemos->setModel(m_model);
    m_stgMemos->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stgMemos->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_stgMemos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stgMemos->setShowGrid(true);
    m_stgMemos->setWordWrap(false);
    m_stgMemos->verticalHeader()->hide();
    // Every row the same height: the view then never measures rows, however many there are.
    m_stgMemos->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_stgMemos->verticalHeader()->setMinimumSectionSize(kRowHeight);
    m_stgMemos->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* titles = m_stgMemos->horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setStretchLastSection(false);
    titles->setHighlightSections(false);
    titles->setFixedHeight(kRowHeight + 2);
    for (int column = 0; column < kColumnCount; ++column) {
        titles->resizeSection(column, kColumnWidths[column]);
    }
    connect(m_stgMemos, &QTableView::doubleClicked, this, &MemosTab::stgMemosDblClick);

    const auto button = [this](QPushButton*& target, const char* name, const char* caption, int top,
                               void (MemosTab::*handler)()) {
        target = new QPushButton(QString::fromUtf8(caption), this);
        target->setObjectName(QString::fromLatin1(name));
        target->setGeometry(kButtonLeft, top, kButtonWidth, kButtonHeight);
        target->setAutoDefault(false);
        connect(target, &QPushButton::clicked, this, handler);
    };
    button(m_btnAddMemo, "btnAddMemo", "Add...", 8, &MemosTab::btnAddMemoClick);
    button(m_btnModifyMemo, "btnModifyMemo", "Modify...", 40, &MemosTab::btnModifyMemoClick);
    button(m_btnRemoveMemo, "btnRemoveMemo", "Remove", 72, &MemosTab::btnRemoveMemoClick);
    button(m_btnExportMemo, "btnExportMemo", "Export...", 113, &MemosTab::btnExportMemoClick);
    button(m_btnImportMemo, "btnImportMemo", "Import...", 145, &MemosTab::btnImportMemoClick);
}

void MemosTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_stgMemos->setGeometry(kGridLeft, kGridTop, kGridWidth,
                            std::max(height() - 2 * kGridTop, kGridMinHeight));
}

void MemosTab::DisplayMemos() {
    const int previousRow = m_stgMemos->currentIndex().row();
    m_model->Refill();
    const int count = m_config.Memos.Count();
    const bool enabled = MemosTabCommandsEnabled(count);
    m_btnModifyMemo->setEnabled(enabled);
    m_btnRemoveMemo->setEnabled(enabled);
    m_btnExportMemo->setEnabled(enabled);
    if (enabled) {
        // The grid always has a current row while it shows memos; it stays where it was if it can.
        const int row = std::clamp(previousRow, 0, count - 1);
        m_stgMemos->selectionModel()->setCurrentIndex(
            m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

std::optional<MemoBlock> MemosTab::SelectedBlock() const {
    int top = -1;
    int bottom = -1;
    const QModelIndexList rows = m_stgMemos->selectionModel()->selectedRows();
    for (const QModelIndex& index : rows) {
        top = top < 0 ? index.row() : std::min(top, index.row());
        bottom = std::max(bottom, index.row());
    }
    if (top < 0) {
        top = bottom = m_stgMemos->currentIndex().row();
    }
    if (top < 0) {
        return std::nullopt;
    }
    // View row v is grid row v + 1: the title row is the header.
    return SelectedMemos(top + 1, bottom + 1, m_config.Memos.Count());
}

void MemosTab::SelectRows(int topRow, int bottomRow) {
    QItemSelectionModel* selection = m_stgMemos->selectionModel();
    selection->setCurrentIndex(m_model->index(topRow - 1, 0), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(m_model->index(topRow - 1, 0), m_model->index(bottomRow - 1, 0)),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void MemosTab::btnAddMemoClick() {
    if (AddMemoFromTab(m_memoEditor, m_config, m_services)) {
        DisplayMemos();
    }
}

void MemosTab::btnModifyMemoClick() {
    const int index = m_stgMemos->currentIndex().row();
    if (ModifyMemoFromTab(m_memoEditor, m_config, m_services, index)) {
        DisplayMemos();
    }
}

void MemosTab::btnRemoveMemoClick() {
    if (const std::optional<MemoBlock> block = SelectedBlock()) {
        RemoveMemos(m_config.Memos, *block);
        m_stgMemos->selectionModel()->clearSelection();
        DisplayMemos();
    }
}

void MemosTab::btnExportMemoClick() {
    const std::optional<MemoBlock> block = SelectedBlock();
    if (!block) {
        return;
    }
    // The dialog's suffix follows the chosen filter; the name decides the format.
    const QString fileName =
        m_services.SaveFileName(window(), MemoFileFilters(m_services), QStringLiteral("dat"));
    if (fileName.isEmpty()) {
        return;
    }
    const std::string path = QFile::encodeName(fileName).toStdString();
    // The program's own files, and another user's link in a shared folder, are no export targets.
    if (IsOneOfFiles(path, ProgramOwnFiles(m_config)) || IsForeignLinkInSharedFolder(path)) {
        ShowError(m_services, window(), TErrorMessage::UnableToWrite, path);
        return;
    }
    const bool iCalendar = IsICalendarFileName(path);
    // An export that leaves memos out still writes the others, and says false all the same.
    const int leftOut = MemosLeftOutOfExport(m_config.Memos, *block, iCalendar);
    const bool complete = iCalendar ? m_services.ExportICalendar(m_config.Memos, block->First, block->Last,
                                                                 path, m_services.Now().toSecsSinceEpoch())
                                    : m_config.Memos.ExportToFile(block->First, block->Last, path, m_formats);
    if (!complete && (leftOut == 0 || !QFileInfo::exists(fileName))) {
        ShowError(m_services, window(), TErrorMessage::UnableToWrite, path);
    } else if (leftOut > 0) {
        ShowInfo(m_services, window(), TInfoMessage::LeftOutOfExport, std::to_string(leftOut));
    }
}

void MemosTab::btnImportMemoClick() {
    const QString fileName = m_services.OpenFileName(window(), MemoFileFilters(m_services));
    if (fileName.isEmpty()) {
        return;
    }
    const std::string path = QFile::encodeName(fileName).toStdString();
    if (!IsICalendarFileName(path)) {
        const TExchangeImport report = m_config.Memos.ImportExchangeFile(path, m_formats);
        DisplayMemos();
        if (report.Stop == TExchangeStop::ListFull) {
            ShowError(m_services, window(), TErrorMessage::MemoListFull);
        }
        return;
    }
    // A file that cannot be read adds nothing and, like a failed exchange import, says nothing; a
    // read file may fit only partly into the list, and the user is told how much of it did.
    ICalendarImportCounts counts;
    if (importICalendar(path, counts)) {
        DisplayMemos();
        ShowInfo(m_services, window(), TInfoMessage::ICalendarImported, ICalendarImportSummary(counts));
        if (counts.LeftOut > 0) {
            ShowInfo(m_services, window(), TInfoMessage::LeftOutListFull, std::to_string(counts.LeftOut));
        }
    }
}

bool MemosTab::importICalendar(const std::string& path, ICalendarImportCounts& counts) {
    // A large calendar takes a while to read: it is read into a copy of the list on a thread of its
    // own while the dialog stays responsive and can be cancelled; the copy replaces the list only
    // when the reading ended and was not cancelled. A cancelled reading runs to its end unseen.
    if (m_import.joinable()) {
        m_import.join();
    }
    struct Job {
        TMemoList Memos;
        ICalendarImportCounts Counts;
        bool Read = false;
        std::atomic<bool> Done{false};
    };
    auto job = std::make_shared<Job>();
    job->Memos = m_config.Memos;
    TServices& services = m_services;
    m_import = std::thread([job, &services, path] {
        job->Read = services.ImportICalendar(job->Memos, path, job->Counts);
        job->Done = true;
    });
    // Qt's own progress box: its Cancel speaks the language of Qt's translations.
    QProgressDialog progress(window());
    progress.setLabelText(QFile::decodeName(path.c_str()));
    progress.setRange(0, 0);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kImportProgressDelayMs);
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (job->Done || progress.wasCanceled()) {
            loop.quit();
        }
    });
    poll.start(kImportPollMs);
    if (!job->Done) {
        loop.exec();
    }
    if (!job->Done) {
        return false;
    }
    m_import.join();
    if (!job->Read) {
        return false;
    }
    m_config.Memos = std::move(job->Memos);
    counts = job->Counts;
    return true;
}

MemosTab::~MemosTab() {
    if (m_import.joinable()) {
        m_import.join();
    }
}

void MemosTab::stgMemosDblClick() {
    if (m_btnModifyMemo->isEnabled()) {
        btnModifyMemoClick();
    }
}

} // namespace kestrivel
